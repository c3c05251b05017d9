// Feeds arbitrary bytes to the strict package reader.
#include <cstddef>
#include <cstdint>

#include "base/Exception.h"
#include "base/Stream.h"
#include "package/PackageReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quorin::TMemoryViewStream stream(data, static_cast<std::int64_t>(size));
    try {
        quorin::ReadPackage(stream);
    } catch (const quorin::Exception&) {
    }
    return 0;
}
