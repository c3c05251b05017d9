#include <gtest/gtest.h>

#include "package/Build.h"
#include "package/Filler.h"
#include "package/PackageReader.h"
#include "package/Writer.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

using test::Bytes;

// The bytes of a small package with one card row and one texture row, and
// where its sheet starts.
class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FillerSeed = 0;
        TUnitSheet sheet;
        sheet.UnitName = "u";
        sheet.ModelFile = dir.File("m.cas");
        test::WriteFile(sheet.ModelFile, test::PatternBytes(40));
        sheet.UiCardRows = {{"f", sheet.ModelFile, sheet.ModelFile}};
        sheet.TextureRows = {{"t", sheet.ModelFile}};
        sheet.UnitTextLines = {"x"};
        BuildPackage(sheet, dir.File("p.quorin"));
        bytes = test::ReadFile(dir.File("p.quorin"));
        sheetStart = 588;
    }

    std::string FailureOf(const Bytes& data)
    {
        TMemoryViewStream stream(data.data(), static_cast<std::int64_t>(data.size()));
        try {
            ReadPackage(stream);
        } catch (const EPackageError& e) {
            return e.Message();
        }
        return "(read without failure)";
    }

    // The offset of the first value after the six texts and four "none"s: the game version.
    std::size_t GameVersionOffset() const { return sheetStart + 3 + 5 * 2 + 4 * 6; }

    test::TempDir dir;
    Bytes bytes;
    std::size_t sheetStart = 0;
};

TEST_F(ReaderTest, AValidPackageReadsWhole)
{
    TMemoryViewStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    TPackage package = ReadPackage(stream);
    EXPECT_EQ(package.UnitNameOffset, 588);
    EXPECT_EQ(package.UnitName, "u");
    EXPECT_EQ(package.UiCardRows.size(), 1u);
    EXPECT_EQ(package.TextureRows.size(), 1u);
    EXPECT_EQ(package.UnitTextLines, (std::vector<std::string>{"x"}));
}

TEST_F(ReaderTest, AnOutlineTellsWhereEachEmbeddedFileLies)
{
    TMemoryViewStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    TPackagePlaces places;
    TPackage outline = ReadPackageOutline(stream, places);
    EXPECT_EQ(outline.UnitName, "u");
    EXPECT_TRUE(outline.Model.empty());
    ASSERT_EQ(outline.UiCardRows.size(), 1u);
    EXPECT_EQ(outline.UiCardRows[0].Faction, "f");
    EXPECT_TRUE(outline.UiCardRows[0].InfoCard.empty());
    ASSERT_EQ(places.Cards.size(), 1u);
    ASSERT_EQ(places.Textures.size(), 1u);
    const Bytes pattern = test::PatternBytes(40);
    for (const TEmbeddedFile* place :
         {&places.Model, &places.Cards[0].first, &places.Cards[0].second, &places.Textures[0]}) {
        ASSERT_EQ(place->Size, 40);
        EXPECT_EQ(Bytes(bytes.begin() + place->Offset, bytes.begin() + place->Offset + place->Size), pattern);
    }
    EXPECT_LT(places.Cards[0].second.Offset, places.Model.Offset);
    EXPECT_LT(places.Model.Offset, places.Textures[0].Offset);
}

TEST_F(ReaderTest, FilesThatAreNotPackages)
{
    const std::string expected = "Not a Quorin package: expected the text \"QuorinPAKx0.1\" at byte 0";
    for (const Bytes& data : {Bytes{}, test::ToBytes("hello world"), Bytes{0x06, 0x0D, 'Q'},
                              test::ToBytes("\x06\x0DQuorinPAKx0.2")})
        EXPECT_EQ(FailureOf(data), expected);
}

TEST_F(ReaderTest, EveryCutShortFileFailsClearly)
{
    for (std::size_t size = 15; size < bytes.size(); ++size) {
        std::string message = FailureOf(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)));
        ASSERT_NE(message.find("Damaged package: the file ends at byte " + std::to_string(size)), std::string::npos)
            << "cut at " << size << ": " << message;
    }
}

TEST_F(ReaderTest, BytesAfterTheLastLine)
{
    Bytes longer = bytes;
    longer.push_back(0x02);
    longer.push_back(0x00);
    EXPECT_EQ(FailureOf(longer), "Damaged package: 2 unexpected bytes after the last line, from byte " +
                                     std::to_string(bytes.size()));
}

TEST_F(ReaderTest, WrongTagsAndImpossibleValues)
{
    Bytes data = bytes;
    data[GameVersionOffset()] = 0x06; // a text where the game version belongs
    EXPECT_EQ(FailureOf(data), "Damaged package: expected an integer (the game version) at byte " +
                                   std::to_string(GameVersionOffset()) + ", found tag 6");

    data = bytes;
    data[GameVersionOffset() + 1] = 9;
    EXPECT_EQ(FailureOf(data), "Damaged package: the game version at byte " + std::to_string(GameVersionOffset()) +
                                   " is 9, not one of 0 to 5");

    data = bytes;
    data[sheetStart] = 0x09; // a boolean where the unit name belongs
    EXPECT_EQ(FailureOf(data), "Damaged package: expected a text (the unit name) at byte 588, found tag 9");

    data = bytes;
    data[sheetStart + 2] = 0xC3; // not 7-bit in a short text
    EXPECT_EQ(FailureOf(data), "Damaged package: the unit name at byte 588 is not valid 7-bit ASCII text");

    std::size_t cardCount = GameVersionOffset() + 2 + 8;
    data = bytes;
    data[cardCount + 1] = 0xFF; // -1 card rows
    EXPECT_EQ(FailureOf(data), "Damaged package: the number of UI card rows at byte " + std::to_string(cardCount) +
                                   " is negative (-1)");
}

TEST_F(ReaderTest, HostileSizesNeverAllocateMoreThanTheFileHolds)
{
    // The INFO card's size, after the card count (2 bytes) and the faction (3 bytes).
    std::size_t sizeAt = GameVersionOffset() + 2 + 8 + 2 + 3;
    ASSERT_EQ(bytes[sizeAt], 0x02);
    Bytes data(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(sizeAt));
    data.insert(data.end(), {0x04, 0xFF, 0xFF, 0xFF, 0x7F}); // 2 GiB - 1
    data.insert(data.end(), 100, 0);
    std::string message = FailureOf(data);
    EXPECT_NE(message.find("Damaged package: the file ends at byte " + std::to_string(data.size()) +
                           " inside the INFO card of UI card row 1"),
              std::string::npos)
        << message;

    data = bytes;
    data[sizeAt + 1] = 0xF0; // a negative size
    EXPECT_EQ(FailureOf(data), "Damaged package: the size of the INFO card of UI card row 1 at byte " +
                                   std::to_string(sizeAt) + " is negative (-16)");
}

TEST_F(ReaderTest, AHostileHeaderCountEndsAtTheEndOfTheFile)
{
    TMemoryStream stream;
    {
        TWriter writer(stream, 4096);
        writer.PutString("QuorinPAKx0.1");
        writer.PutString("0x2 0xA2 0xFF Auf Zero");
        for (int i = 0; i < 5; ++i)
            writer.PutInteger(0);
        writer.PutInteger(0x7FFFFFFE);
        for (int i = 0; i < 10; ++i)
            writer.PutInteger(1);
        writer.Release();
    }
    Bytes data(stream.Memory(), stream.Memory() + stream.Size());
    EXPECT_NE(FailureOf(data).find("Damaged package: the file ends at byte " + std::to_string(data.size()) +
                                   " inside a header filler value"),
              std::string::npos);
}

} // namespace
} // namespace quorin
