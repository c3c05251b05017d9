// The decoders' input: the rest of a stream at once, lent or read.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "base/Exception.h"
#include "imaging/StreamBytes.h"
#include "tests/support/TestSupport.h"

namespace quorin::test {
namespace {

enum class Kind { Memory, View, File };

// A stream of the given kind over bytes, positioned at start.
class StreamOver {
public:
    StreamOver(Kind kind, const std::vector<std::uint8_t>& bytes, std::int64_t start) : bytes_(bytes)
    {
        switch (kind) {
        case Kind::Memory: {
            auto memory = std::make_unique<TMemoryStream>();
            memory->WriteBuffer(bytes_.data(), static_cast<std::int64_t>(bytes_.size()));
            stream_ = std::move(memory);
            break;
        }
        case Kind::View:
            stream_ = std::make_unique<TMemoryViewStream>(bytes_.data(), static_cast<std::int64_t>(bytes_.size()));
            break;
        case Kind::File:
            WriteFile(dir_.File("bytes"), bytes_);
            stream_ = std::make_unique<TFileStream>(dir_.File("bytes"), TFileMode::OpenRead);
            break;
        }
        stream_->Seek(start, TSeekOrigin::Beginning);
    }
    TStream& operator*() { return *stream_; }

private:
    TempDir dir_;
    std::vector<std::uint8_t> bytes_;
    std::unique_ptr<TStream> stream_;
};

class StreamBytesTest : public testing::TestWithParam<Kind> {};

// The stream ends up where the decoder stopped reading, whether it
// finished or failed.
TEST_P(StreamBytesTest, TakesTheRestAndGivesBackWhatWasNotRead)
{
    const std::vector<std::uint8_t> file{1, 2, 3, 4, 5, 6, 7};
    struct Case {
        std::int64_t Start;
        std::size_t Skipped;
        bool Fails;
        std::int64_t PositionAfter;
    };
    const Case cases[] = {{0, 7, false, 7}, {0, 3, false, 3}, {2, 0, false, 2}, {2, 4, false, 6},
                          {2, 99, false, 7}, {7, 0, false, 7}, {0, 3, true, 3},  {2, 99, true, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "from " << c.Start << ", " << c.Skipped << " skipped"
                                        << (c.Fails ? ", failing" : ""));
        StreamOver stream(GetParam(), file, c.Start);
        TStreamBytes input(*stream);
        EXPECT_TRUE(input.Complete());
        EXPECT_EQ(std::vector<std::uint8_t>(input.Bytes().begin(), input.Bytes().end()),
                  std::vector<std::uint8_t>(file.begin() + c.Start, file.end()));
        EXPECT_EQ((*stream).Position(), 7); // taken, until the decoder is done
        auto decode = [&](bytes::TCursor& bytes) {
            bytes.Skip(c.Skipped);
            if (c.Fails)
                throw Exception("damaged");
        };
        if (c.Fails)
            EXPECT_THROW(input.Decode(decode), Exception);
        else
            input.Decode(decode);
        EXPECT_EQ((*stream).Position(), c.PositionAfter);
    }
}

TEST_P(StreamBytesTest, MoreThanTheLimitIsNotRead)
{
    const std::vector<std::uint8_t> file(10, 0x42);
    for (std::int64_t limit : {0, 5, 9}) {
        StreamOver stream(GetParam(), file, 0);
        TStreamBytes input(*stream, limit);
        EXPECT_FALSE(input.Complete()) << limit;
        EXPECT_TRUE(input.Bytes().empty()) << limit;
        EXPECT_EQ((*stream).Position(), 0) << limit;
    }
    StreamOver stream(GetParam(), file, 0);
    EXPECT_TRUE(TStreamBytes(*stream, 10).Complete());
}

INSTANTIATE_TEST_SUITE_P(Streams, StreamBytesTest, testing::Values(Kind::Memory, Kind::View, Kind::File));

// Read through a buffer smaller than the reads, the stream gives what a
// cursor over the same bytes gives, refilling, reading past the buffer
// straight into the target and stopping at the end alike.
TEST_P(StreamBytesTest, StreamCursorReadsAsACursorOverTheBytes)
{
    std::vector<std::uint8_t> file(40);
    for (std::size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<std::uint8_t>(i * 7 + 1);
    StreamOver stream(GetParam(), file, 2);
    TStreamCursor streamed(*stream, 4);
    bytes::TCursor held(bytes::TBytes(file).subspan(2));
    std::uint8_t a[16] = {}, b[16] = {};
    auto same = [&](std::size_t n, const char* step) {
        SCOPED_TRACE(step);
        EXPECT_EQ(std::vector(a, a + n), std::vector(b, b + n));
        EXPECT_EQ(streamed.Used(), held.Used());
    };
    ASSERT_TRUE(streamed.Next(a[0]) && held.Next(b[0]));
    same(1, "a byte");
    EXPECT_EQ(streamed.ReadFixed<3>(a), held.ReadFixed<3>(b));
    same(3, "to the buffer's end");
    EXPECT_EQ(streamed.Read(a, 10), held.Read(b, 10));
    same(10, "past the buffer, straight in");
    streamed.Skip(6);
    held.Skip(6);
    EXPECT_EQ(streamed.ReadFixed<4>(a), held.ReadFixed<4>(b));
    same(4, "after a skip across refills");
    EXPECT_EQ(streamed.Read(a, 16), held.Read(b, 16)); // 14 left
    same(14, "to the end");
    EXPECT_FALSE(streamed.Next(a[0]));
    streamed.Skip(5);
    EXPECT_EQ(streamed.Used(), 38u);
}

// A stream that keeps its bytes in memory lends them: nothing is copied.
TEST(StreamBytesLending, MemoryIsLentInPlace)
{
    const std::vector<std::uint8_t> file{9, 8, 7};
    TMemoryViewStream view(file.data(), 3);
    view.Seek(1, TSeekOrigin::Beginning);
    TStreamBytes input(view);
    EXPECT_EQ(input.Bytes().data(), file.data() + 1);
    EXPECT_EQ(input.Bytes().size(), 2u);
}

} // namespace
} // namespace quorin::test
