#pragma once
// Ctrl+C and SIGTERM, caught while a command changes a mod, so that the
// change is rolled back instead of cut short.

namespace quorin {

class TInterruptionGuard {
public:
    TInterruptionGuard();
    ~TInterruptionGuard();
    TInterruptionGuard(const TInterruptionGuard&) = delete;
    TInterruptionGuard& operator=(const TInterruptionGuard&) = delete;

    // Whether a signal came since the guard was made.
    static bool Requested();
    // Ends the process by the signal that came, as a shell expects of a
    // command stopped by it; returns only when none came.
    void EndBySignal();

private:
    using THandler = void (*)(int);
    THandler previousInterrupt_;
    THandler previousTerminate_;
};

} // namespace quorin
