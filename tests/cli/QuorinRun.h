#pragma once
// Runs the real quorin program in a process of its own, as a script would.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/WindowsApi.h"
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "tests/support/TestSupport.h"

namespace quorin::test {

struct TQuorinRun {
    int code = -1;
    std::string out;
    std::string err;
};

#ifdef _WIN32

inline std::wstring WideText(const std::string& utf8)
{
    int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

// One argument quoted so that CommandLineToArgvW reads it back unchanged.
inline std::wstring QuoteArgument(const std::wstring& argument)
{
    std::wstring quoted = L"\"";
    for (std::size_t i = 0;; ++i) {
        std::size_t backslashes = 0;
        for (; i < argument.size() && argument[i] == L'\\'; ++i)
            ++backslashes;
        if (i == argument.size()) {
            quoted.append(backslashes * 2, L'\\');
            break;
        }
        if (argument[i] == L'"')
            quoted.append(backslashes * 2 + 1, L'\\');
        else
            quoted.append(backslashes, L'\\');
        quoted.push_back(argument[i]);
    }
    return quoted + L"\"";
}

inline HANDLE InheritableFile(const std::string& path, bool write)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(WideText(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Standard output and error go through files in scratch; with pipeFrom, the
// program reads that file as its standard input.
inline TQuorinRun RunQuorin(const std::vector<std::string>& args, const TempDir& scratch, const std::string& pipeFrom = {})
{
    auto out = scratch.File(".stdout"), err = scratch.File(".stderr");
    std::wstring command = QuoteArgument(WideText(QUORIN_EXE));
    for (const auto& arg : args)
        command += L" " + QuoteArgument(WideText(arg));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = InheritableFile(pipeFrom.empty() ? "NUL" : pipeFrom, false);
    startup.hStdOutput = InheritableFile(out, true);
    startup.hStdError = InheritableFile(err, true);
    PROCESS_INFORMATION process{};
    TQuorinRun run;
    // Under wine on a loaded machine a start now and then fails for want of
    // a moment; the program is not at fault then, so it is tried again.
    bool started = false;
    for (int attempt = 0; attempt < 5 && !started; ++attempt) {
        if (attempt > 0)
            Sleep(200);
        started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                 &process) != FALSE;
    }
    if (!started)
        run.err = "the test could not start quorin (error " + std::to_string(GetLastError()) + ")";
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code))
            run.code = static_cast<int>(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    auto outBytes = ReadFile(out), errBytes = ReadFile(err);
    run.out.assign(outBytes.begin(), outBytes.end());
    run.err.assign(errBytes.begin(), errBytes.end());
    std::filesystem::remove(Utf8Path(out));
    std::filesystem::remove(Utf8Path(err));
    return run;
}

#else

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

#endif

} // namespace quorin::test
