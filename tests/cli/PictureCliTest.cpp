#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/DDS.h"
#include "imaging/DDSWriter.h"
#include "imaging/PngReader.h"
#include "imaging/PngWriter.h"
#include "imaging/TGA.h"
#include "imaging/TGAWriter.h"
#include "tests/cli/QuorinRun.h"
#include "tests/support/TestPictures.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::MakePicture;
using test::Painted;
using test::TBgra;

class PictureCliTest : public ::testing::Test {
protected:
    test::TempDir dir;

    test::TQuorinRun Quorin(const std::vector<std::string>& args) { return test::RunQuorin(args, dir); }

    // A 64 x 32 texture and a card, written by the library's own writers.
    void SetUp() override
    {
        WritePng(*MakePicture(64, 32, false, Painted), dir.File("opaque.png"), false);
        WritePng(*MakePicture(64, 32, true, Painted), dir.File("alpha.png"), true);
        WriteTGA(*MakePicture(40, 52, true, Painted), dir.File("card.tga"), false);
    }
};

std::uint32_t U32At(const Bytes& file, std::size_t offset)
{
    return file.at(offset) | file.at(offset + 1) << 8 | file.at(offset + 2) << 16 | std::uint32_t{file.at(offset + 3)} << 24;
}

std::string FourCC(const Bytes& file)
{
    return file.size() < 88 ? std::string() : std::string(reinterpret_cast<const char*>(&file[84]), 4);
}

TEST_F(PictureCliTest, TheOutputsExtensionNamesTheFormat)
{
    struct TCase {
        std::vector<std::string> Args;
        std::string FourCC; // for .dds output
        std::uint32_t Levels;
    };
    const TCase cases[] = {
        {{dir.File("opaque.png"), dir.File("o.dds")}, "DXT1", 7},
        {{dir.File("alpha.png"), dir.File("o.dds")}, "DXT5", 7},
        {{dir.File("alpha.png"), dir.File("o.dds"), "--format", "dxt1", "--quality", "fast"}, "DXT1", 7},
        {{dir.File("opaque.png"), dir.File("o.dds"), "--format", "dxt5", "--mipmaps", "none"}, "DXT5", 1},
        {{dir.File("card.tga"), dir.File("o.DDS"), "--quality", "best"}, "DXT5", 6},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"picture"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        const auto run = Quorin(args);
        ASSERT_EQ(run.code, 0) << run.err;
        const Bytes file = test::ReadFile(c.Args[1]);
        EXPECT_EQ(FourCC(file), c.FourCC);
        EXPECT_EQ(U32At(file, 28), c.Levels);
        EXPECT_NE(run.out.find("as " + c.FourCC), std::string::npos) << run.out;
        fs::remove(c.Args[1]);
    }

    // A card: 32-bit, bottom-left, plain or run-length; back through the TGA decoder.
    for (bool runLength : {false, true}) {
        std::vector<std::string> args{"picture", dir.File("alpha.png"), dir.File("card.out.tga")};
        if (runLength)
            args.push_back("--rle");
        ASSERT_EQ(Quorin(args).code, 0);
        const Bytes file = test::ReadFile(dir.File("card.out.tga"));
        EXPECT_EQ(file.at(2), runLength ? 10 : 2);
        TTGAImage card;
        card.DecodeTGA(file);
        EXPECT_EQ(test::RgbPsnr(card, *MakePicture(64, 32, true, Painted)), 99);
        EXPECT_EQ(card.RowAddress(5)[4 * 7 + 3], Painted(7, 5)[3]);
    }

    // PNG as before, and back.
    ASSERT_EQ(Quorin({"picture", dir.File("card.tga"), dir.File("card.png")}).code, 0);
    TBitmap png;
    DecodePngBytes(test::ReadFile(dir.File("card.png")), png);
    EXPECT_EQ(test::RgbPsnr(png, *MakePicture(40, 52, true, Painted)), 99);
    EXPECT_TRUE(png.HasAlphaChannel());
}

TEST_F(PictureCliTest, AddingMipmapsToAFinishedTextureInPlaceKeepsItsTopLevel)
{
    const auto texture = dir.File("texture.dds");
    ASSERT_EQ(Quorin({"picture", dir.File("alpha.png"), texture, "--mipmaps", "none"}).code, 0);
    const Bytes bare = test::ReadFile(texture);
    const auto run = Quorin({"picture", texture, texture});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("1 kept as they were, 6 made"), std::string::npos) << run.out;
    const Bytes full = test::ReadFile(texture);
    EXPECT_EQ(U32At(full, 28), 7u);
    ASSERT_GT(full.size(), bare.size());
    EXPECT_TRUE(std::equal(bare.begin() + 128, bare.end(), full.begin() + 128));
    EXPECT_EQ(test::EntriesOf(dir.Path()), (std::vector<std::string>{"alpha.png", "card.tga", "opaque.png", "texture.dds"}));

    // Another format asked for: decoded and encoded again.
    ASSERT_EQ(Quorin({"picture", texture, dir.File("other.dds"), "--format", "dxt1"}).code, 0);
    EXPECT_EQ(FourCC(test::ReadFile(dir.File("other.dds"))), "DXT1");
}

TEST_F(PictureCliTest, SidesThatAreNoPowersOfTwoAreWrittenWithAWarning)
{
    WritePng(*MakePicture(300, 64, false, Painted), dir.File("wide.png"), false);
    const auto run = Quorin({"picture", dir.File("wide.png"), dir.File("wide.dds")});
    EXPECT_EQ(run.code, 0);
    EXPECT_NE(run.err.find("warning: " + dir.File("wide.dds") + " is 300 x 64 pixels"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("256 or 512 wide, 64 high"), std::string::npos) << run.err;
    EXPECT_EQ(U32At(test::ReadFile(dir.File("wide.dds")), 28), 9u);
}

TEST_F(PictureCliTest, BadInputGetsAMessageNamingTheFileAndNothingIsWritten)
{
    test::WriteFile(dir.File("damaged.png"), Bytes{0x89, 'P', 'N', 'G', 1, 2, 3});
    test::WriteFile(dir.File("damaged.dds"), Bytes{'D', 'D', 'S', ' ', 0});
    Bytes empty(18, 0); // no image data
    empty[16] = 32;
    test::WriteFile(dir.File("empty.tga"), empty);
    Bytes huge(18, 0);
    huge[2] = 2;
    huge[12] = huge[13] = huge[14] = huge[15] = 0xFF; // 65535 x 65535
    huge[16] = 32;
    test::WriteFile(dir.File("huge.tga"), huge);
    const auto before = test::EntriesOf(dir.Path());
    struct TCase {
        std::vector<std::string> Args;
        int Code;
        std::string Message;
    };
    const std::string out = dir.File("out.dds");
    const TCase cases[] = {
        {{dir.File("missing.png"), out}, 1, "Cannot open file " + dir.File("missing.png")},
        {{dir.File("damaged.png"), out}, 1, dir.File("damaged.png") + ": "},
        {{dir.File("damaged.dds"), out}, 1, dir.File("damaged.dds") + ": Invalid DDS file"},
        {{dir.File("damaged.dds"), dir.File("damaged.dds")}, 1, dir.File("damaged.dds") + ": Invalid DDS file"},
        {{dir.File("empty.tga"), out}, 1, dir.File("empty.tga") + ": the picture is empty"},
        {{dir.File("empty.tga"), dir.File("out.png")}, 1, dir.File("empty.tga") + ": the picture is empty"},
        {{dir.File("huge.tga"), out}, 1, dir.File("huge.tga") + ": TGA picture too large"},
        {{dir.File("opaque.png"), dir.File("no/such/out.dds")}, 1, "Cannot create file " + dir.File("no/such/out.dds")},
        {{dir.File("opaque.png"), dir.File("out.jpg")}, 2, "Unknown output extension (.jpg) of " + dir.File("out.jpg")},
        {{dir.File("opaque.png"), dir.File("out")}, 2, "Unknown output extension (none) of " + dir.File("out")},
        {{dir.File("opaque.png"), out, "--rle"}, 2, "--rle applies to .tga output only, not to " + out},
        {{dir.File("opaque.png"), dir.File("out.tga"), "--format", "dxt5"}, 2, "--format applies to .dds output only"},
        {{dir.File("opaque.png"), dir.File("out.png"), "--mipmaps", "none"}, 2, "--mipmaps applies to .dds output only"},
        {{dir.File("opaque.png"), dir.File("out.tga"), "--quality", "best"}, 2, "--quality applies to .dds output only"},
        {{dir.File("opaque.png"), out, "--format", "dxt3"}, 2, "--format: dxt3 not in {dxt1,dxt5,auto}"},
        {{dir.File("opaque.png"), out, "--quality", "slow"}, 2, "--quality: slow not in {fast,normal,best}"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"picture"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        const auto run = Quorin(args);
        EXPECT_EQ(run.code, c.Code) << run.err;
        EXPECT_NE(run.err.find(c.Message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_EQ(test::EntriesOf(dir.Path()), before) << run.err;
    }
    EXPECT_EQ(test::ReadFile(dir.File("damaged.dds")), (Bytes{'D', 'D', 'S', ' ', 0}));
}

} // namespace
} // namespace quorin
