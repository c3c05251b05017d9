// The registry of picture formats: its order after start-up, lookups by
// extension and by class name, shadowing, and removal of a class.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "FakeGraphics.h"
#include "imaging/DDS.h"
#include "imaging/FileFormats.h"
#include "imaging/ICO.h"
#include "imaging/JPEG.h"
#include "imaging/Metafile.h"
#include "imaging/PictureModules.h"
#include "imaging/TGA.h"

namespace quorin::test {
namespace {

using Entry = std::tuple<std::string, std::string, std::string>; // extension, description, class

std::vector<Entry> Entries()
{
    std::vector<Entry> out;
    for (const TFileFormat& f : TFileFormatsList::Instance().Formats())
        out.emplace_back(f.Extension, f.Description, std::string(f.Class->Name));
    return out;
}

const std::vector<Entry> BuiltIn{
    {"wmf", "Metafiles", "TMetafile"},
    {"emf", "Enhanced Metafiles", "TMetafile"},
    {"ico", "Icons", "TIcon"},
    {"bmp", "Bitmaps", "TBitmap"},
};

std::vector<Entry> AfterStartUp()
{
    std::vector<Entry> all = BuiltIn;
    all.insert(all.end(), {
                              {"jpeg", "JPEG Image File", "TJPEGImage"},
                              {"jpg", "JPEG Image File", "TJPEGImage"},
                              {"tga", "Targa", "TTGAImage"},
                              {"dds", "Microsoft DirectDraw Surface", "TDDSImage"},
                          });
    return all;
}

class RegistryTest : public testing::Test {
protected:
    void SetUp() override { StartPictureModules(); }
    void TearDown() override
    {
        Registry().RemoveFormatsOf(TFakeImage::ClassRecord);
        Registry().RemoveFormatsOf(TRecordingImage::ClassRecord);
        // Every test leaves the registry as start-up made it.
        EXPECT_EQ(Entries(), AfterStartUp());
    }
    static TFileFormatsList& Registry() { return TFileFormatsList::Instance(); }
};

TEST_F(RegistryTest, HoldsTheEightFormatsInOrder) { EXPECT_EQ(Entries(), AfterStartUp()); }

TEST_F(RegistryTest, StartingTwiceRegistersOnce)
{
    StartPictureModules();
    StartPictureModules();
    EXPECT_EQ(Entries(), AfterStartUp());
}

TEST_F(RegistryTest, StoppingLeavesTheBuiltInFour)
{
    StopPictureModules();
    EXPECT_EQ(Entries(), BuiltIn);
    StopPictureModules();
    EXPECT_EQ(Entries(), BuiltIn);
    StartPictureModules();
}

TEST_F(RegistryTest, ClassForExtension)
{
    struct Case {
        const char* Extension;
        const TGraphicClass* Class;
    };
    const Case cases[] = {
        {"tga", &TTGAImage::ClassRecord},
        {"TGA", &TTGAImage::ClassRecord},
        {"Tga", &TTGAImage::ClassRecord},
        {"dds", &TDDSImage::ClassRecord},
        {"DdS", &TDDSImage::ClassRecord},
        {"jpg", &TJPEGImage::ClassRecord},
        {"JPEG", &TJPEGImage::ClassRecord},
        {"bmp", &TBitmap::ClassRecord},
        {"ico", &TIcon::ClassRecord},
        {"wmf", &TMetafile::ClassRecord},
        {"EMF", &TMetafile::ClassRecord},
        {"", nullptr},
        {"png", nullptr},
        {".tga", nullptr},
        {"tga ", nullptr},
        {"tg", nullptr},
        {"tgaa", nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Registry().ClassForExtension(c.Extension), c.Class) << '"' << c.Extension << '"';
}

TEST_F(RegistryTest, RegisteringLowerCasesLatinAndCyrillic)
{
    Registry().RegisterFormat("FaKe", "Fake Pictures", TFakeImage::ClassRecord);
    Registry().RegisterFormat("КАРТЁ", "Карточки", TFakeImage::ClassRecord);
    const auto& formats = Registry().Formats();
    ASSERT_EQ(formats.size(), 10u);
    EXPECT_EQ(formats[8].Extension, "fake");
    EXPECT_EQ(formats[8].Description, "Fake Pictures");
    EXPECT_EQ(formats[9].Extension, "картё");
    EXPECT_EQ(formats[9].Description, "Карточки");

    for (const char* ext : {"fake", "FAKE", "fAkE", "картё", "КАРТЁ", "Картё", "кАРТё"})
        EXPECT_EQ(Registry().ClassForExtension(ext), &TFakeImage::ClassRecord) << ext;
    EXPECT_EQ(Registry().ClassForExtension("карте"), nullptr);
}

TEST_F(RegistryTest, ALaterRegistrationShadowsAnEarlierOne)
{
    Registry().RegisterFormat("tga", "Fake Targa", TFakeImage::ClassRecord);
    EXPECT_EQ(Registry().ClassForExtension("tga"), &TFakeImage::ClassRecord);
    EXPECT_EQ(Registry().ClassForExtension("TGA"), &TFakeImage::ClassRecord);
    Registry().RegisterFormat("TGA", "Recorded Targa", TRecordingImage::ClassRecord);
    EXPECT_EQ(Registry().ClassForExtension("tga"), &TRecordingImage::ClassRecord);
    // Nothing checks for duplicates.
    EXPECT_EQ(Registry().Formats().size(), 10u);

    Registry().RemoveFormatsOf(TRecordingImage::ClassRecord);
    EXPECT_EQ(Registry().ClassForExtension("tga"), &TFakeImage::ClassRecord);
    Registry().RemoveFormatsOf(TFakeImage::ClassRecord);
    EXPECT_EQ(Registry().ClassForExtension("tga"), &TTGAImage::ClassRecord);
}

TEST_F(RegistryTest, ClassForName)
{
    struct Case {
        const char* Name;
        const TGraphicClass* Class;
    };
    const Case cases[] = {
        {"TTGAImage", &TTGAImage::ClassRecord},
        {"TDDSImage", &TDDSImage::ClassRecord},
        {"TJPEGImage", &TJPEGImage::ClassRecord},
        {"TBitmap", &TBitmap::ClassRecord},
        {"TIcon", &TIcon::ClassRecord},
        {"TMetafile", &TMetafile::ClassRecord},
        {"ttgaimage", nullptr},
        {"TBITMAP", nullptr},
        {"TGraphic", nullptr},
        {"TTGAImage ", nullptr},
        {"", nullptr},
        {"TFakeImage", nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Registry().ClassForName(c.Name), c.Class) << '"' << c.Name << '"';

    Registry().RegisterFormat("fk", "Fake", TFakeImage::ClassRecord);
    EXPECT_EQ(Registry().ClassForName("TFakeImage"), &TFakeImage::ClassRecord);
}

TEST_F(RegistryTest, RemoveFormatsOfTakesDerivedClassesToo)
{
    Registry().RegisterFormat("fa1", "Fake", TFakeImage::ClassRecord);
    Registry().RegisterFormat("rec", "Recording", TRecordingImage::ClassRecord);
    Registry().RegisterFormat("fa2", "Fake derived", TFakeDerived::ClassRecord);
    Registry().RemoveFormatsOf(TFakeImage::ClassRecord);
    std::vector<Entry> expected = AfterStartUp();
    expected.emplace_back("rec", "Recording", "TRecordingImage");
    EXPECT_EQ(Entries(), expected);

    // Removing only the derived class keeps its base.
    Registry().RegisterFormat("fa1", "Fake", TFakeImage::ClassRecord);
    Registry().RegisterFormat("fa2", "Fake derived", TFakeDerived::ClassRecord);
    Registry().RemoveFormatsOf(TFakeDerived::ClassRecord);
    expected.emplace_back("fa1", "Fake", "TFakeImage");
    EXPECT_EQ(Entries(), expected);
}

TEST_F(RegistryTest, RemovingTheBitmapClassTakesEveryBitmapFormat)
{
    StopPictureModules();
    StartPictureModules();
    Registry().RemoveFormatsOf(TBitmap::ClassRecord);
    EXPECT_EQ(Entries(), std::vector<Entry>(BuiltIn.begin(), BuiltIn.begin() + 2));

    // Rebuild the start-up order for the tests that follow.
    StopPictureModules();
    Registry().RegisterFormat("ico", "Icons", TIcon::ClassRecord);
    Registry().RegisterFormat("bmp", "Bitmaps", TBitmap::ClassRecord);
    StartPictureModules();
}

TEST(GraphicClassTest, InheritsFrom)
{
    EXPECT_TRUE(TTGAImage::ClassRecord.InheritsFrom(TTGAImage::ClassRecord));
    EXPECT_TRUE(TTGAImage::ClassRecord.InheritsFrom(TBitmap::ClassRecord));
    EXPECT_TRUE(TTGAImage::ClassRecord.InheritsFrom(TGraphic::ClassRecord));
    EXPECT_FALSE(TBitmap::ClassRecord.InheritsFrom(TTGAImage::ClassRecord));
    EXPECT_FALSE(TMetafile::ClassRecord.InheritsFrom(TBitmap::ClassRecord));
    EXPECT_FALSE(TTGAImage::ClassRecord.InheritsFrom(TDDSImage::ClassRecord));
}

} // namespace
} // namespace quorin::test
