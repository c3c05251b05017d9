#pragma once
// Where the checks read a unit's files: the disk for a sheet, the package's
// memory for a package, so both are checked by the same code.

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "package/PackageReader.h"

namespace quorin {

// The first bytes of a file (all of them when it is shorter) and its size.
struct TFileHead {
    std::shared_ptr<const void> Owner; // what holds Bytes, unless the files do
    std::span<const std::uint8_t> Bytes;
    std::int64_t Size = 0;
};

inline constexpr std::size_t WholeFile = std::numeric_limits<std::size_t>::max();

class TUnitFiles {
public:
    virtual ~TUnitFiles() = default;
    // Raises the runtime's "Cannot open file %s" when the file cannot be read.
    virtual TFileHead Head(const std::string& path, std::size_t maxBytes) const = 0;
    // Whether reading the file leaves it for the build to read again; a pipe
    // does not, so the checks pass such a file over.
    virtual bool Rereadable(const std::string& /*path*/) const { return true; }
};

class TDiskFiles : public TUnitFiles {
public:
    TFileHead Head(const std::string& path, std::size_t maxBytes) const override;
    bool Rereadable(const std::string& path) const override;
};

// A package's embedded files under the names unpacking gives them.
class TPackageFiles : public TUnitFiles {
public:
    void Add(std::string name, const TBytes& bytes) { files_.emplace(std::move(name), &bytes); }
    TFileHead Head(const std::string& path, std::size_t maxBytes) const override;

private:
    std::map<std::string, const TBytes*> files_;
};

} // namespace quorin
