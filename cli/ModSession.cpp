#include "ModSession.h"

#include <csignal>
#include <cstdlib>
#include <memory>
#include <ostream>

#include "base/Text.h"
#include "install/Install.h"

namespace quorin {

namespace {

// For the tests that kill the program part way: QUORIN_TEST_KILL_AT=N stops
// it before its Nth operation on a file or folder, as SIGKILL does, with no
// clean-up of any kind.
TOperationHook KillHookFromEnvironment()
{
    const char* at = std::getenv("QUORIN_TEST_KILL_AT");
    if (!at || *at == '\0')
        return {};
    auto left = std::make_shared<long>(std::strtol(at, nullptr, 10));
    return [left](std::string_view) {
        if (--*left == 0) {
#ifdef SIGKILL
            std::raise(SIGKILL);
#endif
            std::_Exit(137);
        }
    };
}

} // namespace

TModSession::TModSession(const std::string& mod, bool recover, std::ostream& out)
{
    RequireModFolder(mod);
    hooks_.BeforeOperation = KillHookFromEnvironment();
    if (!recover)
        return;
    recovery_ = RecoverChange(mod, hooks_.BeforeOperation);
    if (recovery_.Outcome != TRecovery::TOutcome::Nothing)
        out << EscapeControlCharacters(DescribeRecovery(recovery_)) << '\n';
}

bool TModSession::Finished(const std::string& change) const
{
    return recovery_.Outcome == TRecovery::TOutcome::Finished && recovery_.Change == change;
}

} // namespace quorin
