// The picture holder: choosing the decoder by extension, keeping the previous
// picture on failure, copying, clearing and the form stored with layouts.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "FakeGraphics.h"
#include "TgaBuilder.h"
#include "imaging/FileFormats.h"
#include "imaging/Picture.h"
#include "imaging/PictureModules.h"
#include "tests/support/TestSupport.h"

namespace quorin::test {
namespace {

namespace fs = std::filesystem;

const Bytes Red{0x00, 0x00, 0xFF}, Green{0x00, 0xFF, 0x00};

Bytes Tga2x1(const Bytes& left, const Bytes& right)
{
    TgaHeader h;
    h.Width = 2;
    h.Height = 1;
    return MakeTga(h, Concat({left, right}));
}

class PictureTest : public testing::Test {
protected:
    void SetUp() override
    {
        StartPictureModules();
        TFileFormatsList::Instance().RegisterFormat("fake", "Fake", TFakeImage::ClassRecord);
        TFakeImage::Log.clear();
        TFakeImage::Made = 0;
        folder_ = dir_.Path();
        picture_.OnChange = [this] { ++changes_; };
    }
    void TearDown() override
    {
        picture_.OnChange = nullptr;
        TFileFormatsList::Instance().RemoveFormatsOf(TFakeImage::ClassRecord);
    }

    std::string Write(const std::string& name, const Bytes& bytes)
    {
        fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    // Loads a good 2 x 1 TGA and returns its graphic.
    TGraphic* LoadGood()
    {
        picture_.LoadByExtension(Write("good.tga", Tga2x1(Red, Green)));
        return picture_.Graphic();
    }

    TempDir dir_; // of this process alone: test programs run side by side
    fs::path folder_;
    TPicture picture_;
    int changes_ = 0;
};

TEST_F(PictureTest, UnknownExtensionsNameTheExtensionAsWritten)
{
    struct Case {
        const char* FileName;
        const char* Message;
    };
    // None of these files exist: a wrong attempt to open one would show as
    // "Cannot open file".
    const Case cases[] = {
        {"card.tga.bak", "Unknown picture file extension (.bak)"},
        {"card.Bak", "Unknown picture file extension (.Bak)"},
        {"card.PNG", "Unknown picture file extension (.PNG)"},
        {"pics.old/card", "Unknown picture file extension (.)"},
        {"pics.old\\card", "Unknown picture file extension (.)"},
        {"disk.tga:card", "Unknown picture file extension (.)"},
        {"card.", "Unknown picture file extension (.)"},
        {"card", "Unknown picture file extension (.)"},
        {"", "Unknown picture file extension (.)"},
        {"/mods/pics.tga/card", "Unknown picture file extension (.)"},
        {"карта.КАРТ", "Unknown picture file extension (.КАРТ)"},
        {"card.%s", "Unknown picture file extension (.%s)"},
    };
    TGraphic* before = LoadGood();
    changes_ = 0;
    for (const Case& c : cases) {
        try {
            picture_.LoadByExtension(c.FileName);
            ADD_FAILURE() << c.FileName;
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), c.Message) << c.FileName;
        }
    }
    EXPECT_EQ(picture_.Graphic(), before);
    EXPECT_EQ(changes_, 0);
    EXPECT_TRUE(TFakeImage::Log.empty());
}

TEST_F(PictureTest, TheExtensionPicksTheDecoderWhateverItsCase)
{
    for (const char* name : {"CARD.TGA", "card.tga", "Card.Tga", "two.dots.tga"}) {
        SCOPED_TRACE(name);
        changes_ = 0;
        picture_.LoadByExtension(Write(name, Tga2x1(Green, Red)));
        ASSERT_NE(picture_.Graphic(), nullptr);
        EXPECT_EQ(&picture_.Graphic()->ClassType(), &TTGAImage::ClassRecord);
        EXPECT_EQ(picture_.Width(), 2);
        EXPECT_EQ(picture_.Height(), 1);
        EXPECT_EQ(RowBytes(static_cast<const TBitmap&>(*picture_.Graphic()), 0), Concat({Green, Red}));
        EXPECT_EQ(changes_, 1);
    }
}

TEST_F(PictureTest, AFailedDecodeKeepsThePreviousPicture)
{
    TGraphic* before = LoadGood();
    ASSERT_NE(before, nullptr);
    changes_ = 0;

    struct Case {
        std::string FileName;
        std::string Message;
    };
    TgaHeader mapped;
    mapped.ColourMapType = 1;
    TgaHeader grey;
    grey.ImageType = 3;
    grey.PixelDepth = 8;
    std::string missing = (folder_ / "missing.tga").string();
    const Case cases[] = {
        {Write("mapped.tga", MakeTga(mapped, Bytes(3, 0))), "ColorMapped TGA unsupported"},
        {Write("grey.tga", MakeTga(grey, Bytes(3, 0))), "Unsupported TGA ImageType"},
        {missing, "Cannot open file " + missing},
        {Write("bad.fake", {'X'}), "Fake picture rejected"},
    };
    for (const Case& c : cases) {
        try {
            picture_.LoadByExtension(c.FileName);
            ADD_FAILURE() << c.FileName;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
        EXPECT_EQ(picture_.Graphic(), before);
        EXPECT_EQ(RowBytes(static_cast<const TBitmap&>(*picture_.Graphic()), 0), Concat({Red, Green}));
    }
    EXPECT_EQ(changes_, 0);
    // The fake instance that failed was released, nothing else.
    EXPECT_EQ(TFakeImage::Log, (std::vector<std::string>{"make 1", "decode 1", "release 1"}) );
}

TEST_F(PictureTest, TheOldPictureGoesOnlyAfterTheNewOneIsDecoded)
{
    TFakeImage::Made = 0;
    std::string first = Write("first.fake", {'G', 1, 2, 3});
    std::string second = Write("second.FAKE", {'G', 4, 5, 6});
    picture_.LoadByExtension(first);
    picture_.LoadByExtension(second);
    EXPECT_EQ(TFakeImage::Log, (std::vector<std::string>{"make 1", "decode 1", "make 2", "decode 2", "release 1"}));
    EXPECT_EQ(changes_, 2);
    EXPECT_EQ(static_cast<TFakeImage*>(picture_.Graphic())->Serial(), 2);
    EXPECT_EQ(RowBytes(static_cast<const TBitmap&>(*picture_.Graphic()), 0), Bytes({4, 5, 6}));
}

TEST_F(PictureTest, NotificationsReachTheHolder)
{
    int progress = 0;
    picture_.OnProgress = [&] { ++progress; };
    picture_.LoadByExtension(Write("p.fake", {'G', 0, 0, 0}));
    EXPECT_EQ(progress, 1);
    EXPECT_EQ(changes_, 1);
    // A change of the held graphic notifies the holder's owner.
    picture_.Graphic()->SetTransparent(true);
    EXPECT_EQ(changes_, 2);
}

TEST_F(PictureTest, ClearAndSetGraphic)
{
    LoadGood();
    changes_ = 0;
    picture_.Clear();
    EXPECT_EQ(picture_.Graphic(), nullptr);
    EXPECT_EQ(picture_.Width(), 0);
    EXPECT_EQ(picture_.Height(), 0);
    EXPECT_EQ(changes_, 1);

    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(3, 4);
    TBitmap* raw = bitmap.get();
    picture_.SetGraphic(std::move(bitmap));
    EXPECT_EQ(picture_.Graphic(), raw);
    EXPECT_EQ(picture_.Width(), 3);
    EXPECT_EQ(picture_.Height(), 4);
    EXPECT_EQ(changes_, 2);
}

TEST_F(PictureTest, CopyFromMakesANewInstanceOfTheSameClass)
{
    TGraphic* original = LoadGood();
    auto& source = static_cast<TTGAImage&>(*original);
    source.SetTransparent(true);

    TPicture copy;
    int copyChanges = 0;
    copy.OnChange = [&] { ++copyChanges; };
    copy.CopyFrom(picture_);
    EXPECT_EQ(copyChanges, 1);
    ASSERT_NE(copy.Graphic(), nullptr);
    EXPECT_NE(copy.Graphic(), original);
    EXPECT_EQ(&copy.Graphic()->ClassType(), &TTGAImage::ClassRecord);
    const auto& copied = static_cast<const TBitmap&>(*copy.Graphic());
    EXPECT_EQ(copied.Width(), 2);
    EXPECT_EQ(copied.Height(), 1);
    EXPECT_EQ(copied.PixelDepth(), 24);
    EXPECT_TRUE(copied.Transparent());
    EXPECT_EQ(RowBytes(copied, 0), Concat({Red, Green}));

    // Copying an empty holder clears and still notifies.
    TPicture empty;
    copy.CopyFrom(empty);
    EXPECT_EQ(copy.Graphic(), nullptr);
    EXPECT_EQ(copyChanges, 2);
    // The source is untouched.
    EXPECT_EQ(picture_.Graphic(), original);
}

// ---- the form stored with window layouts -----------------------------------

Bytes Stored(const std::string& className, const Bytes& data, std::int64_t count)
{
    Bytes out{static_cast<std::uint8_t>(className.size())};
    for (char ch : className)
        out.push_back(static_cast<std::uint8_t>(ch));
    auto c = static_cast<std::uint32_t>(count);
    out.insert(out.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                           static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 24)});
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

TEST_F(PictureTest, ReadStoredDecodesARegisteredClass)
{
    Bytes tga = Tga2x1(Green, Green);
    Bytes stored = Stored("TTGAImage", tga, static_cast<std::int64_t>(tga.size()));
    stored.push_back(0x5C); // the next property
    TMemoryViewStream stream(stored.data(), static_cast<std::int64_t>(stored.size()));
    picture_.ReadStored(stream);
    ASSERT_NE(picture_.Graphic(), nullptr);
    EXPECT_EQ(&picture_.Graphic()->ClassType(), &TTGAImage::ClassRecord);
    EXPECT_EQ(RowBytes(static_cast<const TBitmap&>(*picture_.Graphic()), 0), Concat({Green, Green}));
    EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(stored.size()) - 1);
    EXPECT_EQ(changes_, 1);
}

TEST_F(PictureTest, ReadStoredWithAnUnregisteredNameEmptiesTheHolder)
{
    LoadGood();
    changes_ = 0;
    for (const char* name : {"TPngImage", "ttgaimage", "", "TGraphic"}) {
        SCOPED_TRACE(name);
        LoadGood();
        changes_ = 0;
        Bytes stored = Stored(name, {1, 2, 3}, 3);
        TMemoryViewStream stream(stored.data(), static_cast<std::int64_t>(stored.size()));
        EXPECT_NO_THROW(picture_.ReadStored(stream));
        EXPECT_EQ(picture_.Graphic(), nullptr);
        EXPECT_EQ(changes_, 1);
    }
}

TEST_F(PictureTest, ReadStoredFailuresKeepThePreviousPicture)
{
    Bytes tga = Tga2x1(Red, Red);
    struct Case {
        const char* Name;
        Bytes Stored;
        const char* Message;
    };
    TgaHeader mapped;
    mapped.ColourMapType = 1;
    Bytes badTga = MakeTga(mapped);
    const Case cases[] = {
        {"Negative", Stored("TTGAImage", tga, -1), "Stored picture byte count is negative (-1)"},
        {"MostNegative", Stored("TTGAImage", tga, INT32_MIN), "Stored picture byte count is negative (-2147483648)"},
        {"Huge", Stored("TTGAImage", tga, 0x7FFFFFFF),
         "Stored picture byte count (2147483647) exceeds the 24 bytes that follow it"},
        {"OneTooMany", Stored("TTGAImage", tga, 25), "Stored picture byte count (25) exceeds the 24 bytes that follow it"},
        {"NoCount", Bytes{9, 'T', 'T', 'G', 'A', 'I', 'm', 'a', 'g', 'e', 0x10, 0x00},
         "Stored picture data ends before its byte count"},
        {"ShortName", Bytes{20, 'T', 'T', 'G', 'A'}, "Stream read error"},
        {"NoName", Bytes{}, "Stream read error"},
        {"DecoderFails", Stored("TTGAImage", badTga, static_cast<std::int64_t>(badTga.size())),
         "ColorMapped TGA unsupported"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TGraphic* before = LoadGood();
        changes_ = 0;
        TMemoryViewStream stream(c.Stored.data(), static_cast<std::int64_t>(c.Stored.size()));
        try {
            picture_.ReadStored(stream);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
        EXPECT_EQ(picture_.Graphic(), before);
        EXPECT_EQ(changes_, 0);
    }
}

} // namespace
} // namespace quorin::test
