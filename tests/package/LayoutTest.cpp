#include <gtest/gtest.h>

#include "package/Filler.h"
#include "package/PackageLayout.h"
#include "package/UnitSheet.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

using test::Bytes;

Bytes Header()
{
    TMemoryStream stream;
    {
        TWriter writer(stream, 4096);
        WritePackageHeader(writer);
        writer.Release();
    }
    return Bytes(stream.Memory(), stream.Memory() + stream.Size());
}

std::vector<std::int32_t> Draw(int count, std::int32_t range)
{
    std::vector<std::int32_t> values;
    for (int i = 0; i < count; ++i)
        values.push_back(NextFiller(range));
    return values;
}

TEST(FillerTest, FirstAndSecondBuildsOfARun)
{
    FillerSeed = 0;
    EXPECT_EQ(Draw(5, 65536), (std::vector<std::int32_t>{0, 2056, 56429, 13276, 17886}));
    EXPECT_EQ(NextFiller(128), 85);
    auto tail = Draw(213, 256);
    EXPECT_EQ(std::vector<std::int32_t>(tail.begin(), tail.begin() + 5), (std::vector<std::int32_t>{81, 41, 95, 108, 20}));
    EXPECT_EQ(std::vector<std::int32_t>(tail.end() - 3, tail.end()), (std::vector<std::int32_t>{250, 39, 10}));

    EXPECT_EQ(Draw(5, 65536), (std::vector<std::int32_t>{12084, 635, 24827, 25882, 23844}));
    EXPECT_EQ(NextFiller(128) + 127, 137);
    EXPECT_EQ(Draw(5, 256), (std::vector<std::int32_t>{116, 129, 117, 172, 209}));
}

TEST(LayoutTest, FirstHeaderIs588BytesWithTheExpectedStart)
{
    FillerSeed = 0;
    Bytes header = Header();
    ASSERT_EQ(header.size(), 588u);
    Bytes magic{0x06, 0x0D};
    magic.insert(magic.end(), PackageMagic.begin(), PackageMagic.end());
    EXPECT_EQ(Bytes(header.begin(), header.begin() + 15), magic);
    EXPECT_EQ(header[15], 0x06);
    EXPECT_EQ(header[16], 22);
    Bytes fillers{0x02, 0x00, 0x03, 0x08, 0x08, 0x04, 0x6D, 0xDC, 0x00, 0x00, 0x03, 0xDC, 0x33,
                  0x03, 0xDE, 0x45, 0x03, 0xD4, 0x00, 0x02, 0x51};
    EXPECT_EQ(Bytes(header.begin() + 39, header.begin() + 39 + fillers.size()), fillers);
}

TEST(LayoutTest, SecondHeaderContinuesTheSequence)
{
    FillerSeed = 0;
    Header();
    Bytes second = Header();
    // 12084 and 635 take the 2-byte-payload form, 24827 too.
    Bytes start{0x03, 0x34, 0x2F, 0x03, 0x7B, 0x02, 0x03, 0xFB, 0x60};
    EXPECT_EQ(Bytes(second.begin() + 39, second.begin() + 39 + start.size()), start);
}

struct LinesCase {
    const char* text;
    std::vector<std::string> lines;
};

TEST(LineRuleTest, Cases)
{
    const LinesCase cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\n\r\n", {"a", ""}},
        {"\r\n", {""}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\r\n", {"a", ""}},
        {"  x  \n", {"  x  "}},
        {"\n\n", {"", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitTextLines(c.text), c.lines) << '"' << c.text << '"';
}

TEST(LineRuleTest, LongLinesKeepTheirFirst4096Characters)
{
    std::string ascii(5000, 'q');
    EXPECT_EQ(SplitTextLines(ascii + "\n"), (std::vector<std::string>{std::string(4096, 'q')}));
    std::string cyrillic;
    for (int i = 0; i < 5000; ++i)
        cyrillic += "я";
    auto lines = SplitTextLines(cyrillic);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 4096u * 2);
}

} // namespace
} // namespace quorin
