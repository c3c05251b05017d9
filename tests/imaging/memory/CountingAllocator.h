#pragma once
// The replaced global allocation functions of this test program count the
// bytes in use and the most in use at once.

#include <cstddef>

namespace quorin::test {

std::size_t BytesInUse();
// Starts a new peak at what is in use now.
void ResetPeak();
std::size_t PeakBytes();

} // namespace quorin::test
