#pragma once
// The one boundary of a command: whatever it throws becomes exit code 1 and a
// message, so no input can end the program with an abort.

#include <exception>
#include <new>
#include <ostream>

#include "base/Text.h"

namespace quorin {

template <typename TBody>
int Guarded(std::ostream& err, TBody&& body)
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        err << "Out of memory\n";
    } catch (const std::exception& e) {
        err << EscapeControlCharacters(e.what()) << '\n';
    }
    return 1;
}

} // namespace quorin
