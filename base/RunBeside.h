#pragma once
// Two pieces of work at once: one on a second thread, one on the caller's.

#include <exception>
#include <thread>

namespace quorin {

// Runs beside on a second thread while here runs on this one, and returns
// when both have ended. A failure of here is raised as it comes (after the
// second thread ended); else a failure of beside.
template <typename TBeside, typename THere>
void RunBeside(TBeside&& beside, THere&& here)
{
    std::exception_ptr failure;
    {
        std::jthread thread([&beside, &failure] {
            try {
                beside();
            } catch (...) {
                failure = std::current_exception();
            }
        });
        here();
    }
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace quorin
