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
    // A folder's names, lower case to as on disk, listed once.
    const std::unordered_map<std::string, std::string>& Listing(const std::string& folder) const;

    std::string root_;
    mutable std::map<std::string, std::unordered_map<std::string, std::string>> listings_;
};

// A path a data file names, with "/", one between parts, and without leading separators or blanks.
std::string DataPath(std::string_view path);

} // namespace quorin
