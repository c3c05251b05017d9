// The fuzz target's body: arbitrary bytes to the strict package reader, and
// what it accepts on to inspect's JSON output: no input may end either with
// anything but the reader's own failure.

#include "fuzz/FuzzBodies.h"

#include <cstddef>
#include <cstdint>
#include <ostream>

#include "base/Exception.h"
#include "base/Stream.h"
#include "cli/PackageReport.h"
#include "package/PackageReader.h"

namespace quorin::fuzz {

int Package(const std::uint8_t* data, std::size_t size)
{
    quorin::TMemoryViewStream stream(data, static_cast<std::int64_t>(size));
    try {
        quorin::ReadPackage(stream);
    } catch (const quorin::Exception&) {
    }
    std::ostream discard(nullptr);
    try {
        quorin::PrintPackageJson(stream, discard);
    } catch (const quorin::Exception&) {
    }
    return 0;
}

} // namespace quorin::fuzz
