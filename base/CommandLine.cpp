#include "CommandLine.h"

#ifdef _WIN32
#include <cstdio>

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#endif

namespace quorin {

#ifdef _WIN32

namespace {

std::string WideToUtf8(const wchar_t* text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.pop_back(); // the terminating zero
    return result;
}

} // namespace

std::vector<std::string> CommandLineUtf8(int argc, char** argv)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) // out of memory: the narrow texts are better than none
        return {argv, argv + argc};
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        arguments.push_back(WideToUtf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

void SetUpConsoleOutput()
{
    SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

#else

std::vector<std::string> CommandLineUtf8(int argc, char** argv) { return {argv, argv + argc}; }

void SetUpConsoleOutput() {}

#endif

} // namespace quorin
