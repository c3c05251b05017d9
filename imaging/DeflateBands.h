#pragma once
// One zlib stream made of bands that libdeflate compresses one at a time:
// libdeflate only takes whole buffers, and a whole picture's rows would be a
// second copy of the picture. Each band's own deflate stream is made to go
// on into the next (its last-block bit cleared, an empty stored block
// bringing it to a byte boundary), so the bands join into one stream that
// any inflater reads, as a sync flush would have left it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

struct libdeflate_compressor;

namespace quorin {

class TDeflateBands {
public:
    // Receives the stream's bytes in order, a band at a time.
    using TSink = std::function<void(std::span<const std::uint8_t>)>;

    TDeflateBands(int level, std::size_t bandBytes, TSink sink);
    ~TDeflateBands();
    TDeflateBands(const TDeflateBands&) = delete;
    TDeflateBands& operator=(const TDeflateBands&) = delete;

    // The next bytes of the data; a full band goes to the sink.
    void Add(const std::uint8_t* data, std::size_t count);
    // The last band and the checksum.
    void Finish();

private:
    void Flush(bool last);

    std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor_;
    std::size_t bandBytes_;
    TSink sink_;
    std::vector<std::uint8_t> band_;
    std::vector<std::uint8_t> packed_;
    std::uint32_t adler_ = 1;
    bool started_ = false;
};

// Turns the complete raw deflate stream that buffer holds from start on into
// one that goes on (its last-block bit cleared) and ends on a byte boundary
// with an empty stored block. Raises Exception when it is not a complete
// deflate stream.
void MakeContinuable(std::vector<std::uint8_t>& buffer, std::size_t start);

} // namespace quorin
