#pragma once
// quorin extract and quorin check --mod: a unit taken out of a mod, and a
// whole mod checked.

#include <iosfwd>
#include <string>

namespace quorin {

// Writes the unit of type into folder and lists what the mod lacks; 0 when
// the folder was written, gaps or not.
int RunExtract(const std::string& type, const std::string& mod, const std::string& folder, std::ostream& out,
               std::ostream& err);
// Every unit of the mod: type, dictionary name, its name in the text file and its model files.
int RunListUnits(const std::string& mod, std::ostream& out, std::ostream& err);
// 0 when no finding is an error, 1 otherwise.
int RunCheckMod(const std::string& mod, bool json, std::ostream& out, std::ostream& err);

} // namespace quorin
