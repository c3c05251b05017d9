// The graphic's own reading: DecodeFile and the byte-counted stored form.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "FakeGraphics.h"
#include "TgaBuilder.h"
#include "tests/support/TestSupport.h"

namespace quorin::test {
namespace {

Bytes CountedData(std::int32_t count, const Bytes& data)
{
    auto c = static_cast<std::uint32_t>(count);
    Bytes out{static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c >> 16),
              static_cast<std::uint8_t>(c >> 24)};
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// The stored form through each kind of stream the layouts may come in.
enum class Source { Memory, View, File };

class ReadDataTest : public testing::TestWithParam<Source> {
protected:
    void Read(const Bytes& bytes, TGraphic& graphic, std::int64_t* positionAfter = nullptr)
    {
        switch (GetParam()) {
        case Source::Memory: {
            TMemoryStream stream;
            stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
            stream.Seek(0, TSeekOrigin::Beginning);
            graphic.ReadData(stream);
            if (positionAfter)
                *positionAfter = stream.Position();
            break;
        }
        case Source::View: {
            TMemoryViewStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
            graphic.ReadData(stream);
            if (positionAfter)
                *positionAfter = stream.Position();
            break;
        }
        case Source::File: {
            TempDir dir;
            WriteFile(dir.File("read_data_test.bin"), bytes);
            TFileStream stream(dir.File("read_data_test.bin"), TFileMode::OpenRead);
            graphic.ReadData(stream);
            if (positionAfter)
                *positionAfter = stream.Position();
            break;
        }
        }
    }
};

TEST_P(ReadDataTest, DecodesExactlyTheCountedBytes)
{
    for (Bytes data : {Bytes{}, Bytes{7}, Bytes{1, 2, 3, 4, 5}, Bytes(1000, 0x42)}) {
        SCOPED_TRACE(data.size());
        TRecordingImage graphic;
        Bytes stored = Concat({CountedData(static_cast<std::int32_t>(data.size()), data), Bytes{0xAA, 0xBB}});
        std::int64_t position = -1;
        Read(stored, graphic, &position);
        EXPECT_EQ(graphic.Decodes, 1);
        EXPECT_EQ(graphic.Received, data);
        EXPECT_EQ(position, static_cast<std::int64_t>(4 + data.size()));
    }
}

TEST_P(ReadDataTest, DecodesATgaPicture)
{
    TgaHeader h;
    h.Width = 1;
    h.Height = 1;
    Bytes tga = MakeTga(h, {9, 8, 7});
    TTGAImage image;
    Read(CountedData(static_cast<std::int32_t>(tga.size()), tga), image);
    EXPECT_EQ(RowBytes(image, 0), Bytes({9, 8, 7}));
}

TEST_P(ReadDataTest, RefusesCountsTheStreamCannotHold)
{
    struct Case {
        Bytes Stored;
        const char* Message;
    };
    const Case cases[] = {
        {{}, "Stored picture data ends before its byte count"},
        {{0x05, 0x00, 0x00}, "Stored picture data ends before its byte count"},
        {CountedData(-1, {1, 2}), "Stored picture byte count is negative (-1)"},
        {CountedData(INT32_MIN, {}), "Stored picture byte count is negative (-2147483648)"},
        {CountedData(3, {1, 2}), "Stored picture byte count (3) exceeds the 2 bytes that follow it"},
        {CountedData(1, {}), "Stored picture byte count (1) exceeds the 0 bytes that follow it"},
        {CountedData(INT32_MAX, {1}), "Stored picture byte count (2147483647) exceeds the 1 bytes that follow it"},
    };
    for (const Case& c : cases) {
        TRecordingImage graphic;
        try {
            Read(c.Stored, graphic);
            ADD_FAILURE() << c.Message;
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
        EXPECT_EQ(graphic.Decodes, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, ReadDataTest, testing::Values(Source::Memory, Source::View, Source::File));

// A stored picture whose bytes are in memory already is decoded where it
// lies, whichever kind of memory stream carries it.
TEST(ReadDataInPlaceTest, MemoryStreamsLendTheirBytes)
{
    const Bytes stored = Concat({CountedData(5, {1, 2, 3, 4, 5}), Bytes{0xAA}});
    TMemoryStream owned;
    owned.WriteBuffer(stored.data(), static_cast<std::int64_t>(stored.size()));
    owned.Seek(0, TSeekOrigin::Beginning);
    TMemoryViewStream view(stored.data(), static_cast<std::int64_t>(stored.size()));
    struct Case {
        const char* Name;
        TStream& Stream;
        const std::uint8_t* Memory;
    };
    const Case cases[] = {{"TMemoryStream", owned, owned.Memory()}, {"TMemoryViewStream", view, stored.data()}};
    for (const Case& c : cases) {
        TRecordingImage graphic;
        graphic.ReadData(c.Stream);
        EXPECT_EQ(graphic.Received, Bytes({1, 2, 3, 4, 5})) << c.Name;
        EXPECT_EQ(graphic.HeldAt, c.Memory + 4) << c.Name;
        EXPECT_EQ(c.Stream.Position(), 9) << c.Name;
    }
}

TEST(DecodeFileTest, AFileThatCannotBeOpenedIsNotDecoded)
{
    TRecordingImage graphic;
    std::string missing = (std::filesystem::path(testing::TempDir()) / "no such folder" / "x.rec").string();
    for (const std::string& path : {missing, testing::TempDir()}) {
        try {
            graphic.DecodeFile(path);
            ADD_FAILURE() << path;
        } catch (const EFOpenError& e) {
            EXPECT_EQ(e.Message(), "Cannot open file " + path);
        }
    }
    EXPECT_EQ(graphic.Decodes, 0);
}

TEST(DecodeFileTest, DecodesTheWholeFile)
{
    TempDir dir;
    Bytes bytes(70000);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    WriteFile(dir.File("decode_file_test.rec"), bytes);
    TRecordingImage graphic;
    graphic.DecodeFile(dir.File("decode_file_test.rec"));
    EXPECT_EQ(graphic.Received, bytes);
}

TEST(GraphicTest, SetTransparentNotifiesOnChangeOnly)
{
    TRecordingImage graphic;
    int changes = 0;
    graphic.OnChange = [&] { ++changes; };
    graphic.SetTransparent(false);
    EXPECT_EQ(changes, 0);
    graphic.SetTransparent(true);
    EXPECT_TRUE(graphic.Transparent());
    EXPECT_EQ(changes, 1);
    graphic.SetTransparent(false);
    EXPECT_FALSE(graphic.Transparent());
    EXPECT_EQ(changes, 2);
}

} // namespace
} // namespace quorin::test
