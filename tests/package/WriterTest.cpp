#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Exception.h"
#include "package/Writer.h"

namespace quorin {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Records every write it receives and can refuse bytes after a limit.
class TRecordingStream : public TStream {
public:
    explicit TRecordingStream(std::int64_t acceptLimit = INT64_MAX) : limit_(acceptLimit) {}

    std::int64_t Read(void*, std::int64_t) override { return 0; }
    std::int64_t Seek(std::int64_t, TSeekOrigin) override { return static_cast<std::int64_t>(bytes.size()); }
    std::int64_t Write(const void* buffer, std::int64_t count) override
    {
        std::int64_t accepted = std::min<std::int64_t>(count, limit_ - static_cast<std::int64_t>(bytes.size()));
        auto p = static_cast<const std::uint8_t*>(buffer);
        bytes.insert(bytes.end(), p, p + accepted);
        writes.push_back(count);
        return accepted;
    }

    Bytes bytes;
    std::vector<std::int64_t> writes;

private:
    std::int64_t limit_;
};

template <typename Put>
Bytes Written(Put put)
{
    TRecordingStream stream;
    {
        TWriter writer(stream, 4096);
        put(writer);
        writer.Release();
    }
    return stream.bytes;
}

struct IntegerCase {
    std::int32_t value;
    Bytes bytes;
};

TEST(WriterTest, IntegersTakeTheSmallestForm)
{
    const IntegerCase cases[] = {
        {0, {0x02, 0x00}},
        {-1, {0x02, 0xFF}},
        {127, {0x02, 0x7F}},
        {-128, {0x02, 0x80}},
        {128, {0x03, 0x80, 0x00}},
        {-129, {0x03, 0x7F, 0xFF}},
        {200, {0x03, 0xC8, 0x00}},
        {32767, {0x03, 0xFF, 0x7F}},
        {-32768, {0x03, 0x00, 0x80}},
        {32768, {0x04, 0x00, 0x80, 0x00, 0x00}},
        {-32769, {0x04, 0xFF, 0x7F, 0xFF, 0xFF}},
        {65535, {0x04, 0xFF, 0xFF, 0x00, 0x00}},
        {INT32_MIN, {0x04, 0x00, 0x00, 0x00, 0x80}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Written([&](TWriter& w) { w.PutInteger(c.value); }), c.bytes) << c.value;
}

TEST(WriterTest, TextForms)
{
    EXPECT_EQ(Written([](TWriter& w) { w.PutString(""); }), (Bytes{0x06, 0x00}));
    EXPECT_EQ(Written([](TWriter& w) { w.PutString("none"); }), (Bytes{0x06, 0x04, 'n', 'o', 'n', 'e'}));

    Bytes short255{0x06, 0xFF};
    short255.insert(short255.end(), 255, 'x');
    EXPECT_EQ(Written([](TWriter& w) { w.PutString(std::string(255, 'x')); }), short255);

    Bytes long256{0x0C, 0x00, 0x01, 0x00, 0x00};
    long256.insert(long256.end(), 256, 'x');
    EXPECT_EQ(Written([](TWriter& w) { w.PutString(std::string(256, 'x')); }), long256);

    EXPECT_EQ(Written([](TWriter& w) { w.PutString("Коммент"); }),
              (Bytes{0x14, 0x0E, 0x00, 0x00, 0x00, 0xD0, 0x9A, 0xD0, 0xBE, 0xD0, 0xBC, 0xD0, 0xBC, 0xD0, 0xB5, 0xD0,
                     0xBD, 0xD1, 0x82}));

    std::string cyrillic200;
    for (int i = 0; i < 200; ++i)
        cyrillic200 += "ж";
    auto bytes = Written([&](TWriter& w) { w.PutString(cyrillic200); });
    ASSERT_EQ(bytes.size(), 5u + 400u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 5), (Bytes{0x14, 0x90, 0x01, 0x00, 0x00}));
}

TEST(WriterTest, BooleansAndEmptyRuns)
{
    EXPECT_EQ(Written([](TWriter& w) { w.PutBoolean(true); }), (Bytes{0x09}));
    EXPECT_EQ(Written([](TWriter& w) { w.PutBoolean(false); }), (Bytes{0x08}));
    EXPECT_EQ(Written([](TWriter& w) { w.PutBytes("abc", 0); }), Bytes{});
}

TEST(WriterTest, AFullBufferGoesOutOnlyAtTheNextWrite)
{
    TRecordingStream stream;
    TWriter writer(stream, 4096);
    Bytes block(4096, 0xAB);
    writer.PutBytes(block.data(), 4096);
    EXPECT_TRUE(stream.writes.empty());
    writer.PutTag(TValueTag::TagTrue);
    EXPECT_EQ(stream.writes, (std::vector<std::int64_t>{4096}));
    writer.Release();
    EXPECT_EQ(stream.writes, (std::vector<std::int64_t>{4096, 1}));
}

TEST(WriterTest, LongRunsPassThroughTheBufferInCapacityBlocks)
{
    TRecordingStream stream;
    Bytes run(10000);
    for (std::size_t i = 0; i < run.size(); ++i)
        run[i] = static_cast<std::uint8_t>(i * 31);
    {
        TWriter writer(stream, 4096);
        writer.PutBytes(run.data(), static_cast<std::int64_t>(run.size()));
        EXPECT_EQ(stream.writes, (std::vector<std::int64_t>{4096, 4096}));
        writer.Release();
    }
    EXPECT_EQ(stream.writes, (std::vector<std::int64_t>{4096, 4096, 1808}));
    EXPECT_EQ(stream.bytes, run);
}

TEST(WriterTest, ReleasingAnUnusedWriterWritesNothing)
{
    TRecordingStream stream;
    {
        TWriter writer(stream, 4096);
        writer.Release();
    }
    EXPECT_TRUE(stream.writes.empty());
}

TEST(WriterTest, ARefusedWriteFailsAndKeepsTheFillPosition)
{
    Bytes data(16, 1);
    TRecordingStream refusing(0);
    TWriter failing(refusing, 16);
    failing.PutBytes(data.data(), 16);
    try {
        failing.PutTag(TValueTag::TagFalse);
        FAIL() << "expected a write error";
    } catch (const EWriteError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
    }
    EXPECT_EQ(failing.FillPosition(), 16);
    EXPECT_THROW(failing.Release(), EWriteError);
    EXPECT_EQ(failing.FillPosition(), 16);
}

TEST(WriterTest, DestroyingAnUnreleasedWriterFlushesAndNeverThrows)
{
    TRecordingStream stream;
    {
        TWriter writer(stream, 4096);
        writer.PutString("abc");
    }
    EXPECT_EQ(stream.bytes, (Bytes{0x06, 0x03, 'a', 'b', 'c'}));

    TRecordingStream refusing(0);
    EXPECT_NO_THROW({
        TWriter writer(refusing, 4096);
        writer.PutString("abc");
    });
}

} // namespace
} // namespace quorin
