#pragma once
// What every command that changes a mod does around its change: it waits
// for any other command changing the same mod (a lock in the mod's quorin/
// folder), finishes or rolls back a change an earlier run left interrupted,
// and turns Ctrl+C and SIGTERM into a roll-back of its own change.

#include <iosfwd>
#include <memory>
#include <string>

#include "Interruption.h"
#include "base/FileLock.h"
#include "install/ChangeJournal.h"
#include "install/FileTransaction.h"

namespace quorin {

class TModSession {
public:
    // Raises EInstallError when mod is no mod's root folder. With change, takes
    // the mod's lock and finishes or rolls back an interrupted change, saying
    // what it did on out; without, only reads may follow.
    TModSession(const std::string& mod, bool change, std::ostream& out, std::ostream& err);
    ~TModSession();

    const TRecovery& Recovery() const { return recovery_; }
    // Whether the recovery finished exactly this change ("install of D").
    bool Finished(const std::string& change) const;
    // Whether an earlier change ended in its last moment, leaving only an
    // emptied quorin/ folder; its name went with its journal.
    bool Tidied() const { return tidied_; }
    const TTransactionHooks& Hooks() const { return hooks_; }

    // After the change was rolled back on a signal: lets go of the mod and
    // ends the process by that signal.
    void EndByInterruption();

private:
    void Lock(std::ostream& err);
    void Release();

    std::string mod_;
    TInterruptionGuard guard_;
    std::unique_ptr<TFileLock> lock_;
    bool tidied_ = false;
    TRecovery recovery_;
    TTransactionHooks hooks_;
};

} // namespace quorin
