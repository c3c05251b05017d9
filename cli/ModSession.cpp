#include "ModSession.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <thread>

#include "base/FileSystem.h"
#include "base/Text.h"
#include "install/Install.h"

namespace quorin {

namespace fs = std::filesystem;

namespace {

constexpr auto LockPoll = std::chrono::milliseconds(50);

// For the tests that stop the program part way: QUORIN_TEST_KILL_AT=N stops
// it before its Nth operation on a file or folder as SIGKILL does, with no
// clean-up of any kind; QUORIN_TEST_KILL_WITH=INT or TERM sends that signal
// there instead.
TOperationHook KillHookFromEnvironment()
{
    const char* at = std::getenv("QUORIN_TEST_KILL_AT");
    if (!at || *at == '\0')
        return {};
    const char* with = std::getenv("QUORIN_TEST_KILL_WITH");
    std::string signal = with ? with : "";
    auto left = std::make_shared<long>(std::strtol(at, nullptr, 10));
    return [left, signal](std::string_view) {
        if (--*left != 0)
            return;
        if (signal == "INT" || signal == "TERM") {
            std::raise(signal == "INT" ? SIGINT : SIGTERM);
            return;
        }
#ifdef SIGKILL
        std::raise(SIGKILL);
#endif
        std::_Exit(137);
    };
}

// Whether the folder holds nothing but, perhaps, a lock file.
bool HoldsOnlyALock(const fs::path& folder)
{
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().filename() != "lock")
            return false;
    return !error;
}

} // namespace

TModSession::TModSession(const std::string& mod, bool change, std::ostream& out, std::ostream& err) : mod_(mod)
{
    RequireModFolder(mod);
    hooks_.BeforeOperation = KillHookFromEnvironment();
    hooks_.Cancelled = [] { return TInterruptionGuard::Requested(); };
    if (!change)
        return;
    Lock(err);
    recovery_ = RecoverChange(mod, hooks_.BeforeOperation);
    tidied_ = tidied_ || recovery_.Outcome == TRecovery::TOutcome::Tidied;
    if (recovery_.Outcome != TRecovery::TOutcome::Nothing)
        out << EscapeControlCharacters(DescribeRecovery(recovery_)) << '\n';
}

TModSession::~TModSession()
{
    Release();
}

void TModSession::Lock(std::ostream& err)
{
    fs::path folder = PathFromUtf8(mod_) / "quorin";
    bool told = false;
    for (;;) {
        std::error_code error;
        bool made = fs::create_directory(folder, error);
        lock_ = TFileLock::TryLock(PathToUtf8(folder / "lock"));
        if (lock_) {
            tidied_ = !made && HoldsOnlyALock(folder);
            return;
        }
        if (!told)
            err << "Another quorin command is changing " << EscapeControlCharacters(mod_)
                << "; waiting for it to end (Ctrl+C stops waiting)\n";
        told = true;
        if (TInterruptionGuard::Requested()) {
            err << "Interrupted while waiting: nothing was changed.\n";
            guard_.EndBySignal();
        }
        std::this_thread::sleep_for(LockPoll);
    }
}

void TModSession::Release()
{
    if (!lock_)
        return;
    lock_.reset();
    std::error_code error;
    fs::path folder = PathFromUtf8(mod_) / "quorin";
    if (fs::is_empty(folder, error))
        fs::remove(folder, error);
}

bool TModSession::Finished(const std::string& change) const
{
    return recovery_.Outcome == TRecovery::TOutcome::Finished && recovery_.Change == change;
}

void TModSession::EndByInterruption()
{
    Release();
    guard_.EndBySignal();
}

} // namespace quorin
