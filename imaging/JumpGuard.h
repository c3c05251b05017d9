#pragma once
// libpng and libjpeg report a fatal error by a longjmp out of the library
// (libpng's png_error, our libjpeg error_exit). RunGuarded is the one place
// that catches such a jump: it runs one library step after a setjmp on the
// library's jump buffer and says whether the step finished.
//
// The jump unwinds no C++ frame properly, so the step must create no object
// with a destructor: it only calls the library and stores plain values. The
// setjmp lives in this function, whose own frame holds nothing either.

#include <csetjmp>

namespace quorin {

template <class TStep>
bool RunGuarded(std::jmp_buf& jump, TStep&& step)
{
    if (setjmp(jump))
        return false;
    step();
    return true;
}

} // namespace quorin
