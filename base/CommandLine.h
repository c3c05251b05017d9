#pragma once
// The process's arguments and console in UTF-8 on every platform.

#include <string>
#include <vector>

namespace quorin {

// The arguments as UTF-8 texts, the program's name first. On Windows they are
// read again from the wide command line: the narrow argv holds them in the
// ANSI code page, which loses every character it cannot show (Cyrillic file
// names on a Western system).
std::vector<std::string> CommandLineUtf8(int argc, char** argv);

// Standard output and error as on Linux: the console shows the UTF-8 the
// program writes (Windows' console would read it in the OEM code page), and
// "\n" stays one byte, so a redirected report has the same bytes everywhere.
// Nothing to do elsewhere.
void SetUpConsoleOutput();

} // namespace quorin
