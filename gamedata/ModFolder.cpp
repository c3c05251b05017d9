#include "ModFolder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/FileSystem.h"
#include "base/Text.h"

namespace quorin {

namespace fs = std::filesystem;

TModFolder::TModFolder(std::string root) : root_(std::move(root)) {}

const TModFolder::TListing& TModFolder::Listing(const std::string& folder) const
{
    auto [at, added] = listings_.try_emplace(folder);
    if (!added)
        return at->second;
    std::error_code error;
    for (fs::directory_iterator it(PathFromUtf8(PathOf(folder)), error), end; !error && it != end;
         it.increment(error)) {
        std::string name = PathToUtf8(it->path().filename());
        // The kind comes with the listing; only a link costs a look at what it names.
        std::error_code kindError;
        const bool isFolder = it->is_directory(kindError), isFile = it->is_regular_file(kindError);
        std::string lower = LowerCaseText(name);
        at->second.emplace(std::move(lower), TName{std::move(name), isFolder, isFile});
    }
    return at->second;
}

TModFolder::TWalk TModFolder::Walk(const std::string& path, bool list, std::string& found) const
{
    found.clear();
    const TName* name = nullptr;
    bool respelt = false;
    std::size_t start = 0;
    while (start < path.size()) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::string_view part = std::string_view(path).substr(start, slash - start);
        start = slash + 1;
        if (part.empty() || part == ".") {
            respelt = respelt || !part.empty(); // the disk would be asked with it
            continue;
        }
        if (part == "..") {
            found.clear();
            return TWalk::Respelt;
        }
        if (name && !name->Folder)
            return TWalk::Absent;
        const auto listed = listings_.find(found);
        if (listed == listings_.end() && !list)
            return TWalk::Unlisted;
        const TListing& names = listed == listings_.end() ? Listing(found) : listed->second;
        const auto entry = names.find(LowerCaseText(part));
        if (entry == names.end())
            return TWalk::Absent;
        name = &entry->second;
        respelt = respelt || name->OnDisk != part;
        found += (found.empty() ? "" : "/") + name->OnDisk;
    }
    if (!name || !name->File)
        return TWalk::Absent;
    return respelt ? TWalk::Respelt : TWalk::Found;
}

bool TModFolder::OftenAsked(const std::string& path) const
{
    // A few names are found sooner by asking the disk for each than by
    // listing a folder of thousands.
    constexpr int ListFrom = 16;
    return ++asked_[path.substr(0, path.rfind('/') + 1)] >= ListFrom;
}

std::optional<std::string> TModFolder::Find(std::string_view relative) const
{
    const std::string path = DataPath(relative);
    std::string found;
    TWalk walk = Walk(path, false, found);
    auto isFile = [&] {
        std::error_code error;
        return !path.empty() && fs::is_regular_file(PathFromUtf8(PathOf(path)), error);
    };
    bool asked = false; // the disk said the name as written is no file
    if (walk == TWalk::Unlisted) {
        // Most names are written as the disk spells them; a listing is for the rest.
        if (!OftenAsked(path)) {
            if (isFile())
                return path;
            asked = true;
        }
        walk = Walk(path, true, found);
    }
    if (walk != TWalk::Respelt)
        return walk == TWalk::Found ? std::optional(found) : std::nullopt;
    // Where the system does not tell case apart, the name as written opens the file.
    if (!asked && isFile())
        return path;
    return found.empty() ? std::nullopt : std::optional(found);
}

std::optional<std::string> TModFolder::FindFirst(const std::vector<std::string>& places) const
{
    for (const std::string& place : places)
        if (auto found = Find(place))
            return found;
    return std::nullopt;
}

std::string TModFolder::PathOf(std::string_view relative) const
{
    return relative.empty() ? root_ : PathToUtf8(PathFromUtf8(root_) / PathFromUtf8(relative));
}

std::string TModFolder::Read(std::string_view relative) const
{
    const std::string shown(relative);
    std::ifstream in(PathFromUtf8(PathOf(relative)), std::ios::binary | std::ios::ate);
    if (!in)
        throw EDataFileError("Cannot open file " + shown);
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        throw EDataFileError("Cannot read " + shown);
    return bytes;
}

std::string TModFolder::ReadDataBytes(TDataFileKind kind) const
{
    const std::string_view name = DataFilePath(kind);
    const auto found = Find(name);
    if (!found)
        throw EDataFileError("The mod has no " + std::string(name));
    return Read(*found);
}

TDataText TModFolder::ReadDataFile(TDataFileKind kind) const
{
    return DecodeOwnedDataFile(kind, ReadDataBytes(kind));
}

std::string DataPath(std::string_view path)
{
    std::string text(path);
    for (char& c : text)
        if (c == '\\')
            c = '/';
    const auto first = text.find_first_not_of(" \t/");
    const auto last = text.find_last_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    text = text.substr(first, last - first + 1);
    // "a//b" is "a/b" to the game, and must be one name to the caller.
    text.erase(std::unique(text.begin(), text.end(), [](char a, char b) { return a == '/' && b == '/'; }), text.end());
    return text;
}

} // namespace quorin
