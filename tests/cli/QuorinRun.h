#pragma once
// Runs the real quorin program in a process of its own, as a script would.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "tests/support/TestSupport.h"

namespace quorin::test {

struct TQuorinRun {
    int code = -1;
    std::string out;
    std::string err;
};

inline std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Standard output and error go through files in scratch; with pipeFrom, the
// file's content reaches its standard input through a pipe.
inline TQuorinRun RunQuorin(const std::vector<std::string>& args, const TempDir& scratch, const std::string& pipeFrom = {})
{
    std::string command = pipeFrom.empty() ? "" : "cat " + ShellQuote(pipeFrom) + " | ";
    command += ShellQuote(QUORIN_EXE);
    for (const auto& arg : args)
        command += " " + ShellQuote(arg);
    auto out = scratch.File(".stdout"), err = scratch.File(".stderr");
    command += " >" + ShellQuote(out) + " 2>" + ShellQuote(err);
    int status = std::system(command.c_str());
    TQuorinRun run;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    auto outBytes = ReadFile(out), errBytes = ReadFile(err);
    run.out.assign(outBytes.begin(), outBytes.end());
    run.err.assign(errBytes.begin(), errBytes.end());
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return run;
}

} // namespace quorin::test
