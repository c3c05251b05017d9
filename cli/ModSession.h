#pragma once
// What every command that changes a mod does around its change: an
// interrupted change left by an earlier run is finished or rolled back first,
// and the change itself gets the hooks of this process.

#include <iosfwd>
#include <string>

#include "install/ChangeJournal.h"
#include "install/FileTransaction.h"

namespace quorin {

class TModSession {
public:
    // Raises EInstallError when mod is no mod's root folder. With recover,
    // finishes or rolls back an interrupted change and prints what it did.
    TModSession(const std::string& mod, bool recover, std::ostream& out);

    const TRecovery& Recovery() const { return recovery_; }
    // Whether the recovery finished exactly this change ("install of D").
    bool Finished(const std::string& change) const;
    // Whether it found a change that had just ended, its name lost with its journal.
    bool Tidied() const { return recovery_.Outcome == TRecovery::TOutcome::Tidied; }
    const TTransactionHooks& Hooks() const { return hooks_; }

private:
    TRecovery recovery_;
    TTransactionHooks hooks_;
};

} // namespace quorin
