#include "PackageReport.h"

#include <algorithm>
#include <array>
#include <ostream>

#include "base/Text.h"
#include "imaging/DDS.h"
#include "imaging/TGA.h"
#include "package/PackageReader.h"
#include "package/UnitFields.h"
#include "package/UnitSheet.h"

namespace quorin {

namespace {

// Enough of any embedded picture for its header.
constexpr std::int64_t PictureHeadBytes = 128;

TPictureHeader CardPicture(const TEmbeddedFile& file) { return InspectTGAHeader(file.Head.data(), file.Head.size()); }

TPictureHeader TexturePicture(const TEmbeddedFile& file)
{
    return InspectDDSHeader(file.Head.data(), file.Head.size(), file.Size);
}

struct TBlockNames {
    std::string_view Key;
    std::string_view Title;
};

constexpr std::array<TBlockNames, 3> BlockNames = {{
    {"model_battle", "Model description (descr_model_battle.txt)"},
    {"unit_descr", "Unit description (export_descr_model_unit.txt)"},
    {"unit_text", "Unit text (text\\export_units.txt)"},
}};

const TBlockNames& NamesOf(TTextBlockKind block) { return BlockNames[static_cast<std::size_t>(block)]; }

// The first pass: checks the whole package and keeps what is printed before
// the rows, which the package holds after them. No file bytes, no rows.
class TSummary : public TPackageVisitor {
public:
    TPackageFields Values;
    TPackageModelFields ModelValues;
    std::int64_t ModelSize = 0;

    void Fields(TPackageFields&& fields) override { Values = std::move(fields); }
    void Model(TEmbeddedFile&& model) override { ModelSize = model.Size; }
    void ModelFields(TPackageModelFields&& model) override { ModelValues = std::move(model); }
};

TSummary CheckWhole(TStream& package)
{
    TSummary summary;
    package.Seek(0, TSeekOrigin::Beginning);
    ReadPackage(package, summary);
    package.Seek(0, TSeekOrigin::Beginning);
    return summary;
}

std::string Plural(std::int64_t count, std::string_view word)
{
    return std::to_string(count) + " " + std::string(word) + (count == 1 ? "" : "s");
}

std::string GameVersionText(std::int32_t version)
{
    return std::string(GameVersionItems[static_cast<std::size_t>(version)]);
}

// ---- text --------------------------------------------------------------------

std::string PictureText(const TPictureHeader& picture)
{
    if (!picture.Error.empty())
        return "(does not decode: " + EscapeControlCharacters(picture.Error) + ")";
    return "(" + std::to_string(picture.Width) + "x" + std::to_string(picture.Height) + ", " + picture.Kind + ")";
}

class TTextPrinter : public TPackageVisitor {
public:
    explicit TTextPrinter(std::ostream& out) : out_(out) {}

    std::int64_t HeadBytesWanted() const override { return PictureHeadBytes; }

    void Summary(const TSummary& summary)
    {
        const auto& f = summary.Values;
        for (const auto& field : DescriptiveFields)
            Field(field.Label, f.*field.InPackage);
        Field("Game version:", std::to_string(f.GameVersion) + " (" + GameVersionText(f.GameVersion) + ")");
        Field(ModelNameField.Label, summary.ModelValues.*ModelNameField.InPackage);
        Field("Model file:", Plural(summary.ModelSize, "byte"));
        Field(SkeletonsField.Label, summary.ModelValues.*SkeletonsField.InPackage);
        Field("Custom skeletons:", summary.ModelValues.CustomSkeletons ? "yes" : "no");
    }

    void UiCardRows(std::int32_t count) override { Field("UI card rows:", std::to_string(count)); }
    void UiCardRow(std::int32_t index, std::string&& faction, TEmbeddedFile&& info, TEmbeddedFile&& unit) override
    {
        out_ << "  " << index + 1 << ". " << EscapeControlCharacters(faction) << "\n"
             << "     INFO card:  " << Plural(info.Size, "byte") << ' ' << PictureText(CardPicture(info)) << "\n"
             << "     #unit card: " << Plural(unit.Size, "byte") << ' ' << PictureText(CardPicture(unit)) << '\n';
    }
    void TextureRows(std::int32_t count) override { Field("Texture rows:", std::to_string(count)); }
    void TextureRow(std::int32_t index, std::string&& faction, TEmbeddedFile&& texture) override
    {
        out_ << "  " << index + 1 << ". " << EscapeControlCharacters(faction) << "\n     texture:    "
             << Plural(texture.Size, "byte") << ' ' << PictureText(TexturePicture(texture)) << '\n';
    }
    void Lines(TTextBlockKind block, std::int32_t count) override
    {
        out_ << NamesOf(block).Title << ": " << Plural(count, "line") << '\n';
    }
    void Line(TTextBlockKind, std::int32_t, std::string&& line) override
    {
        out_ << "  | " << EscapeControlCharacters(line) << '\n';
    }

private:
    void Field(std::string_view name, std::string_view value)
    {
        out_ << name << std::string(18 - std::min<std::size_t>(17, name.size()), ' ')
             << EscapeControlCharacters(value) << '\n';
    }

    std::ostream& out_;
};

// ---- JSON --------------------------------------------------------------------

// A JSON string. The reader has checked the text as strict UTF-8, so only
// quotes, backslashes and control characters need escapes.
std::string JsonText(std::string_view text)
{
    constexpr char Hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                out += "\\u00";
                out += Hex[byte >> 4];
                out += Hex[byte & 15];
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

std::string PictureJson(const TPictureHeader& picture)
{
    if (!picture.Error.empty())
        return "{\"error\": " + JsonText(picture.Error) + "}";
    return "{\"width\": " + std::to_string(picture.Width) + ", \"height\": " + std::to_string(picture.Height) +
           ", \"kind\": " + JsonText(picture.Kind) + "}";
}

// One object with the manifest's key names, written member by member and
// row by row as the package is read.
class TJsonPrinter : public TPackageVisitor {
public:
    explicit TJsonPrinter(std::ostream& out) : out_(out) {}

    std::int64_t HeadBytesWanted() const override { return PictureHeadBytes; }

    void Summary(const TSummary& summary)
    {
        const auto& f = summary.Values;
        out_ << "{";
        for (const auto& field : DescriptiveFields)
            Member(field.Key, JsonText(f.*field.InPackage));
        Member("game_version", std::to_string(f.GameVersion));
        Member("game_version_text", JsonText(GameVersionText(f.GameVersion)));
        Member(ModelNameField.Key, JsonText(summary.ModelValues.*ModelNameField.InPackage));
        Member("model_file_size", std::to_string(summary.ModelSize));
        Member(SkeletonsField.Key, JsonText(summary.ModelValues.*SkeletonsField.InPackage));
        Member("custom_skeletons", summary.ModelValues.CustomSkeletons ? "true" : "false");
    }

    void End()
    {
        CloseArray();
        out_ << "\n}\n";
    }

    void UiCardRows(std::int32_t) override { OpenArray("card"); }
    void UiCardRow(std::int32_t, std::string&& faction, TEmbeddedFile&& info, TEmbeddedFile&& unit) override
    {
        Element("{\"faction\": " + JsonText(faction) + ", \"info_size\": " + std::to_string(info.Size) +
                ", \"info_picture\": " + PictureJson(CardPicture(info)) + ", \"unit_size\": " +
                std::to_string(unit.Size) + ", \"unit_picture\": " + PictureJson(CardPicture(unit)) + "}");
    }
    void TextureRows(std::int32_t) override { OpenArray("texture"); }
    void TextureRow(std::int32_t, std::string&& faction, TEmbeddedFile&& texture) override
    {
        Element("{\"faction\": " + JsonText(faction) + ", \"file_size\": " + std::to_string(texture.Size) +
                ", \"file_picture\": " + PictureJson(TexturePicture(texture)) + "}");
    }
    void Lines(TTextBlockKind block, std::int32_t) override { OpenArray(NamesOf(block).Key); }
    void Line(TTextBlockKind, std::int32_t, std::string&& line) override { Element(JsonText(line)); }

private:
    void Member(std::string_view key, std::string_view value)
    {
        out_ << (firstMember_ ? "\n  " : ",\n  ") << '"' << key << "\": " << value;
        firstMember_ = false;
    }
    void OpenArray(std::string_view key)
    {
        CloseArray();
        out_ << ",\n  \"" << key << "\": [";
        inArray_ = true;
        emptyArray_ = true;
    }
    void Element(std::string_view value)
    {
        out_ << (emptyArray_ ? "\n    " : ",\n    ") << value;
        emptyArray_ = false;
    }
    void CloseArray()
    {
        if (inArray_)
            out_ << (emptyArray_ ? "]" : "\n  ]");
        inArray_ = false;
    }

    std::ostream& out_;
    bool firstMember_ = true;
    bool inArray_ = false;
    bool emptyArray_ = true;
};

} // namespace

void PrintPackageText(TStream& package, std::ostream& out)
{
    TSummary summary = CheckWhole(package);
    TTextPrinter printer(out);
    printer.Summary(summary);
    ReadPackage(package, printer);
}

void PrintPackageJson(TStream& package, std::ostream& out)
{
    TSummary summary = CheckWhole(package);
    TJsonPrinter printer(out);
    printer.Summary(summary);
    ReadPackage(package, printer);
    printer.End();
}

} // namespace quorin
