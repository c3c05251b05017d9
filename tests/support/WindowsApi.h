#pragma once
// Windows' own API for the tests that call it, without its min and max
// macros, which would break std::min and std::max.

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
