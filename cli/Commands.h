#pragma once
// The verbs of the quorin command line. Each returns the process's exit code
// (0 success, 1 failure) and writes its messages to out and err.

#include <iosfwd>
#include <string>

namespace quorin {

// Prints the unit's warnings and errors to err and builds; with strict, an
// error refuses the build.
int RunBuild(const std::string& manifest, const std::string& output, bool strict, std::ostream& out,
             std::ostream& err);
int RunInspect(const std::string& package, bool json, std::ostream& out, std::ostream& err);
int RunUnpack(const std::string& package, const std::string& folder, bool force, std::ostream& out, std::ostream& err);
// source is a package or a unit manifest (a name ending in .toml). Install and
// uninstall first finish or roll back a change of mod that was interrupted.
int RunInstall(const std::string& source, const std::string& mod, bool dryRun, bool replace, std::ostream& out,
               std::ostream& err);
int RunUninstall(const std::string& dictionary, const std::string& mod, bool force, std::ostream& out,
                 std::ostream& err);

// Finishes or rolls back an interrupted install or uninstall of mod, alone.
int RunRecover(const std::string& mod, std::ostream& out, std::ostream& err);

} // namespace quorin
