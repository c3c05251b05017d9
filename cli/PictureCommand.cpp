#include "PictureCommand.h"

#include <bit>
#include <memory>
#include <ostream>
#include <span>
#include <vector>

#include <CLI/CLI.hpp>

#include "CommandBoundary.h"
#include "PictureBulk.h"
#include "Render.h"
#include "base/Stream.h"
#include "base/Text.h"
#include "imaging/Bitmap.h"
#include "imaging/DDS.h"
#include "imaging/DDSWriter.h"
#include "imaging/Picture.h"
#include "imaging/PngReader.h"
#include "imaging/PngWriter.h"
#include "imaging/TGAWriter.h"

namespace quorin {

namespace {

enum class TOutputKind { Png, Tga, Dds, Unknown };

TOutputKind OutputKindOf(const std::string& path)
{
    const std::string extension = LowerCaseText(FileExtension(path));
    return extension == "png" ? TOutputKind::Png
           : extension == "tga" ? TOutputKind::Tga
           : extension == "dds" ? TOutputKind::Dds
                                : TOutputKind::Unknown;
}

std::string Shown(const std::string& text)
{
    return EscapeControlCharacters(text);
}

// A reading or writing failure, naming the file when its message does not.
class EPictureFile : public Exception {
public:
    EPictureFile(const std::string& path, const std::string& message)
        : Exception(message.find(path) != std::string::npos ? message : path + ": " + message)
    {
    }
};

template <typename TStep>
auto NamingFile(const std::string& path, TStep&& step)
{
    try {
        return step();
    } catch (const EPictureFile&) {
        throw;
    } catch (const Exception& e) {
        throw EPictureFile(path, e.Message());
    }
}

// The file's bytes, for the readers that take a file held in memory: read
// into their one block.
std::vector<std::uint8_t> LoadBytes(const std::string& path)
{
    TFileStream stream(path, TFileMode::OpenRead); // "Cannot open file %s"
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stream.Size()));
    stream.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    return bytes;
}

// The picture as a bitmap: a PNG through libpng, anything else through the
// registry of picture formats (metafiles drawn when the build can). The
// decoded bitmap itself, never a copy of it.
std::unique_ptr<TBitmap> ReadPicture(const std::string& path, std::ostream& err)
{
    if (LowerCaseText(FileExtension(path)) == "png") {
        auto bitmap = std::make_unique<TBitmap>();
        DecodePngFile(path, *bitmap);
        return bitmap;
    }
    TPicture picture;
    picture.LoadByExtension(path);
    if (dynamic_cast<TBitmap*>(picture.Graphic()))
        return std::unique_ptr<TBitmap>(static_cast<TBitmap*>(picture.Release().release()));
    auto rendered = RenderToBitmap(*picture.Graphic());
    if (!rendered)
        err << "This build of quorin cannot draw " << picture.Graphic()->ClassType().Name << " pictures\n";
    return rendered;
}

// What the options say for a DDS; CLI11 has already refused other values.
TDdsOptions DdsOptions(const TPictureOptions& options)
{
    TDdsOptions dds;
    const std::string format = options.Format.value_or("auto");
    dds.Format = format == "dxt1" ? TDdsFormat::DXT1 : format == "dxt5" ? TDdsFormat::DXT5 : TDdsFormat::Auto;
    dds.Mipmaps = options.Mipmaps.value_or("full") == "none" ? TMipmapChain::None : TMipmapChain::Full;
    const std::string quality = options.Quality.value_or("normal");
    dds.Quality = quality == "fast" ? TDxtQuality::Fast : quality == "best" ? TDxtQuality::Best : TDxtQuality::Normal;
    dds.Threads = options.EncoderThreads;
    return dds;
}

// Why the options do not fit the output, or nothing.
std::string Misfit(const TPictureOptions& options, TOutputKind kind)
{
    if (kind == TOutputKind::Unknown) {
        const std::string extension(FileExtension(options.Output));
        return "Unknown output extension (" + (extension.empty() ? "none" : "." + Shown(extension)) + ") of " +
               Shown(options.Output) + ": quorin picture writes .png, .tga or .dds";
    }
    for (const auto& [given, name] : {std::pair{options.Format.has_value(), "--format"},
                                      std::pair{options.Mipmaps.has_value(), "--mipmaps"},
                                      std::pair{options.Quality.has_value(), "--quality"}})
        if (given && kind != TOutputKind::Dds)
            return std::string(name) + " applies to .dds output only, not to " + Shown(options.Output);
    if (options.RunLength && kind != TOutputKind::Tga)
        return "--rle applies to .tga output only, not to " + Shown(options.Output);
    return {};
}

// The powers of two nearest a side: the side itself, or the one below and
// the one above.
std::string NearestPowers(int side)
{
    const auto value = static_cast<unsigned>(side);
    if (std::has_single_bit(value))
        return std::to_string(side);
    return std::to_string(std::bit_floor(value)) + " or " + std::to_string(std::bit_ceil(value));
}

void WarnUnlessPowersOfTwo(const TPictureOptions& options, int width, int height, std::ostream& err)
{
    if (std::has_single_bit(static_cast<unsigned>(width)) && std::has_single_bit(static_cast<unsigned>(height)))
        return;
    err << "warning: " << Shown(options.Output) << " is " << width << " x " << height
        << " pixels, not a power of two on each side as the game's textures are; nearest power-of-two sizes: "
        << NearestPowers(width) << " wide, " << NearestPowers(height) << " high\n";
}

std::string KindName(TDxtKind kind)
{
    return kind == TDxtKind::DXT1 ? "DXT1" : "DXT5";
}

std::string LevelsText(int levels)
{
    return std::to_string(levels) + (levels == 1 ? " level" : " levels");
}

int WriteTexture(const TPictureOptions& options, std::ostream& out, std::ostream& err)
{
    const TDdsOptions dds = DdsOptions(options);
    const bool ddsInput = LowerCaseText(FileExtension(options.Input)) == "dds";
    std::vector<std::uint8_t> file;
    std::unique_ptr<TBitmap> picture;
    if (ddsInput) {
        // Decoded first: the decoder's judgement of the file is the one message.
        file = NamingFile(options.Input, [&] { return LoadBytes(options.Input); });
        NamingFile(options.Input, [&] { return TDDSImage().DecodeDDS(file); });
        picture = DecodeDxtTop(file);
    }
    if (!picture) {
        picture = NamingFile(options.Input, [&] { return ReadPicture(options.Input, err); });
        if (!picture)
            return 1;
    }
    if (picture->Width() <= 0 || picture->Height() <= 0)
        throw EPictureFile(options.Input, "the picture is empty (0 x 0 pixels); nothing was written");
    WarnUnlessPowersOfTwo(options, picture->Width(), picture->Height(), err);

    std::optional<TDdsWritten> written;
    if (ddsInput)
        written = NamingFile(options.Output, [&] { return CompleteDDS(file, options.Output, dds); });
    if (!written)
        written = NamingFile(options.Output, [&] { return WriteDDS(*picture, options.Output, dds); });
    out << Shown(options.Input) << " (" << picture->Width() << "x" << picture->Height() << ") written to "
        << Shown(options.Output) << " as " << KindName(written->Kind) << " with " << LevelsText(written->Levels);
    if (written->KeptLevels > 0)
        out << " (" << written->KeptLevels << " kept as they were, " << written->Levels - written->KeptLevels << " made)";
    out << '\n';
    return 0;
}

} // namespace

CLI::App* AddPictureCommand(CLI::App& app, TPictureOptions& options)
{
    auto* picture = app.add_subcommand(
        "picture", "Write a picture (tga, dds, bmp, ico, jpg, wmf, emf, png) as PNG, a TGA card or a DDS texture");
    picture->add_option("files", options.Files, "IN OUT.png|OUT.tga|OUT.dds, or IN... (files or folders) with -o DIR")
        ->required();
    picture->add_option("-o,--output-folder", options.OutputFolder, "Folder for many pictures at once, with --to")
        ->type_name("DIR");
    // An option whose value is one of a few words, kept unset when not given.
    auto addChoice = [picture](const char* name, std::optional<std::string>& target, const char* typeName,
                               std::vector<std::string> words, const char* description) {
        picture->add_option_function<std::string>(name, [&target](const std::string& v) { target = v; }, description)
            ->type_name(typeName)
            ->check(CLI::IsMember(std::move(words)).description(""));
    };
    addChoice("--format", options.Format, "FORMAT", {"dxt1", "dxt5", "auto"},
              "dxt1, dxt5 or auto (DXT1 when every pixel is opaque, else DXT5); .dds only");
    addChoice("--mipmaps", options.Mipmaps, "MIPMAPS", {"full", "none"},
              "full (every level down to 1 x 1) or none; .dds only");
    addChoice("--quality", options.Quality, "QUALITY", {"fast", "normal", "best"}, "fast, normal or best; .dds only");
    picture->add_flag("--rle", options.RunLength, "Run-length compressed; .tga only");
    addChoice("--to", options.To, "FORMAT", {"png", "tga", "dds"}, "png, tga or dds: the format of -o's pictures");
    picture->add_option("-j,--jobs", options.Jobs, "Pictures converted at once with -o (default: one per core)")
        ->type_name("N")
        ->check(CLI::PositiveNumber.description(""));
    picture->add_flag("-q,--quiet", options.Quiet, "No progress and no summary with -o, only failures");
    return picture;
}

namespace {

constexpr const char* Usage = "quorin picture takes IN OUT, or IN... -o DIR --to png|tga|dds";

int ConvertOne(const TPictureOptions& options, std::ostream& out, std::ostream& err)
{
    const TOutputKind kind = OutputKindOf(options.Output);
    if (const std::string misfit = Misfit(options, kind); !misfit.empty()) {
        err << misfit << "\nRun quorin picture --help for its options.\n";
        return 2;
    }
    return Guarded(err, [&] {
        if (kind == TOutputKind::Dds)
            return WriteTexture(options, out, err);
        auto picture = NamingFile(options.Input, [&] { return ReadPicture(options.Input, err); });
        if (!picture)
            return 1;
        if (picture->Width() <= 0 || picture->Height() <= 0)
            throw EPictureFile(options.Input, "the picture is empty (0 x 0 pixels); nothing was written");
        NamingFile(options.Output, [&] {
            if (kind == TOutputKind::Tga)
                WriteTGA(*picture, options.Output, options.RunLength);
            else
                WritePng(*picture, options.Output, picture->HasAlphaChannel());
        });
        out << Shown(options.Input) << " (" << picture->Width() << "x" << picture->Height() << ") written to "
            << Shown(options.Output) << '\n';
        return 0;
    });
}

int Refuse(const std::string& why, std::ostream& err)
{
    err << why << "\nRun quorin picture --help for its options.\n";
    return 2;
}

} // namespace

int RunPicture(const TPictureOptions& options, std::ostream& out, std::ostream& err)
{
    if (options.OutputFolder.empty()) {
        if (options.To || options.Jobs > 0 || options.Quiet)
            return Refuse("--to, --jobs and --quiet apply to -o DIR only", err);
        if (options.Files.size() != 2)
            return Refuse(Usage, err);
        TPictureOptions one = options;
        one.Input = options.Files[0];
        one.Output = options.Files[1];
        return ConvertOne(one, out, err);
    }
    if (!options.To)
        return Refuse("-o " + Shown(options.OutputFolder) + " needs --to png, tga or dds", err);
    TPictureOptions sample = options;
    sample.Output = "picture." + *options.To;
    if (const std::string misfit = Misfit(sample, OutputKindOf(sample.Output)); !misfit.empty())
        return Refuse(misfit.substr(0, misfit.find(", not to")), err);
    return RunPictureBulk(options, ConvertOne, out, err);
}

} // namespace quorin
