#include "Interruption.h"

#include <csignal>
#include <cstdio>
#include <iostream>

namespace quorin {

namespace {

volatile std::sig_atomic_t caught = 0;

extern "C" void Catch(int signal)
{
    caught = signal;
}

} // namespace

TInterruptionGuard::TInterruptionGuard()
{
    caught = 0;
    previousInterrupt_ = std::signal(SIGINT, Catch);
    previousTerminate_ = std::signal(SIGTERM, Catch);
}

TInterruptionGuard::~TInterruptionGuard()
{
    std::signal(SIGINT, previousInterrupt_ == SIG_ERR ? SIG_DFL : previousInterrupt_);
    std::signal(SIGTERM, previousTerminate_ == SIG_ERR ? SIG_DFL : previousTerminate_);
}

bool TInterruptionGuard::Requested()
{
    return caught != 0;
}

void TInterruptionGuard::EndBySignal()
{
    int signal = caught;
    if (signal == 0)
        return;
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace quorin
