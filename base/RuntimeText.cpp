#include "RuntimeText.h"

#include "Exception.h"

namespace quorin {

namespace {
std::string ReplaceFirst(std::string_view pattern, std::string_view marker, std::string_view value)
{
    std::string result(pattern);
    if (auto at = result.find(marker); at != std::string::npos)
        result.replace(at, marker.size(), value);
    return result;
}
} // namespace

std::string FormatText(std::string_view pattern, std::string_view text)
{
    return ReplaceFirst(pattern, "%s", text);
}

std::string FormatText(std::string_view pattern, std::int64_t number)
{
    return ReplaceFirst(pattern, "%d", std::to_string(number));
}

void RaiseCannotCreateFile(std::string_view path)
{
    throw EFCreateError(FormatText(RuntimeText::CannotCreateFile, path));
}

void RaiseCannotOpenFile(std::string_view path)
{
    throw EFOpenError(FormatText(RuntimeText::CannotOpenFile, path));
}

void RaiseStreamReadError() { throw EReadError(std::string(RuntimeText::StreamReadError)); }

void RaiseStreamWriteError() { throw EWriteError(std::string(RuntimeText::StreamWriteError)); }

void RaiseListIndexOutOfBounds(std::int64_t index)
{
    throw EListError(FormatText(RuntimeText::ListIndexOutOfBounds, index));
}

void RaiseOutOfMemoryExpandingStream()
{
    throw EOutOfMemory(std::string(RuntimeText::OutOfMemoryExpandingStream));
}

} // namespace quorin
