#pragma once
// A mod's files found as the game on Windows finds them: names compared
// without case, "\" and "/" alike.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "DataFile.h"

namespace quorin {

class TModFolder {
public:
    explicit TModFolder(std::string root);
    const std::string& Root() const { return root_; }

    // A path below the root, with "/", that opens the file whose name is
    // relative but for case, or nothing when no file has that name: as the
    // disk spells it where the system tells case apart.
    std::optional<std::string> Find(std::string_view relative) const;
    // The first of places the mod has, found as Find finds it.
    std::optional<std::string> FindFirst(const std::vector<std::string>& places) const;
    // The path of a file below the root, for opening it.
    std::string PathOf(std::string_view relative) const;
    // The file's bytes; raises EDataFileError naming relative when it cannot be read.
    std::string Read(std::string_view relative) const;
    // The data file's bytes; raises EDataFileError when it is missing or cannot be read.
    std::string ReadDataBytes(TDataFileKind kind) const;
    // The data file decoded; raises EDataFileError when it is missing or not in its encoding.
    TDataText ReadDataFile(TDataFileKind kind) const;

private:
    struct TName {
        std::string OnDisk;
        bool Folder = false; // a folder, or a link to one
        bool File = false;   // a regular file, or a link to one
    };
    using TListing = std::unordered_map<std::string, TName>; // by the name in lower case
    enum class TWalk { Found, Absent, Respelt, Unlisted };

    // A folder's names, listed once: a mod is not changed while it is read.
    const TListing& Listing(const std::string& folder) const;
    // Follows path through the folders' listings into found, as the disk
    // spells it: Respelt when it spells a name otherwise, or when path goes
    // through "." or "..", which no listing holds. Unlisted when a folder has
    // no listing yet and list is not set.
    TWalk Walk(const std::string& path, bool list, std::string& found) const;
    // Whether the folder of path has been asked about often enough to be listed.
    bool OftenAsked(const std::string& path) const;

    std::string root_;
    mutable std::map<std::string, TListing> listings_;
    mutable std::unordered_map<std::string, int> asked_; // by the folder as written
};

// A path a data file names, with "/", one between parts, and without leading separators or blanks.
std::string DataPath(std::string_view path);

} // namespace quorin
