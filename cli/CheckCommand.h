#pragma once
// quorin check, and the findings quorin build reports before it builds.

#include <iosfwd>
#include <string>

#include "check/Finding.h"

namespace quorin {

// Checks a manifest (a name ending in .toml) or a package and prints the
// findings, as text or JSON. 0 when none is an error, 1 otherwise.
int RunCheck(const std::string& source, bool json, std::ostream& out, std::ostream& err);

// One line a finding: "FILE: severity: message [code]", FILE being the
// finding's file or else source. Notes are left out unless withNotes.
void PrintFindings(const TFindings& findings, const std::string& source, bool withNotes, std::ostream& out);

} // namespace quorin
