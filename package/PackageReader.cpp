#include "PackageReader.h"

#include <limits>

#include "PackageLayout.h"
#include "UnitFields.h"
#include "UnitSheet.h"
#include "Writer.h"
#include "base/Text.h"

namespace quorin {

namespace {

// Reads values front to back and knows how many bytes remain, so no count in
// the file can make it allocate more than the file holds.
class TPackageCursor {
public:
    explicit TPackageCursor(TStream& stream) : stream_(stream), size_(stream.Size()), offset_(stream.Position()) {}

    std::int64_t Offset() const { return offset_; }
    std::int64_t Remaining() const { return size_ - offset_; }

    std::int32_t ReadInteger(std::string_view what)
    {
        std::int64_t start = offset_;
        auto tag = ReadTag(what);
        switch (static_cast<TValueTag>(tag)) {
        case TValueTag::TagInt8: return static_cast<std::int8_t>(ReadLittleEndian(1, what, start));
        case TValueTag::TagInt16: return static_cast<std::int16_t>(ReadLittleEndian(2, what, start));
        case TValueTag::TagInt32: return static_cast<std::int32_t>(ReadLittleEndian(4, what, start));
        default: Fail(WrongTag("an integer", what, start, tag));
        }
    }

    std::int32_t ReadCount(std::string_view what)
    {
        std::int64_t start = offset_;
        std::int32_t count = ReadInteger(what);
        if (count < 0)
            Fail("Damaged package: " + std::string(what) + " at byte " + std::to_string(start) + " is negative (" +
                 std::to_string(count) + ")");
        return count;
    }

    std::string ReadText(std::string_view what)
    {
        std::int64_t start = offset_;
        auto tag = ReadTag(what);
        std::int64_t length = 0;
        switch (static_cast<TValueTag>(tag)) {
        case TValueTag::TagString: length = ReadLittleEndian(1, what, start); break;
        case TValueTag::TagLongString:
        case TValueTag::TagUtf8String:
            length = static_cast<std::int32_t>(ReadLittleEndian(4, what, start));
            break;
        default: Fail(WrongTag("a text", what, start, tag));
        }
        if (length < 0)
            Fail("Damaged package: " + std::string(what) + " at byte " + std::to_string(start) +
                 " has a negative length (" + std::to_string(length) + ")");
        std::string text(static_cast<std::size_t>(Require(length, what, start)), '\0');
        ReadRaw(text.data(), length);
        bool utf8 = static_cast<TValueTag>(tag) == TValueTag::TagUtf8String;
        if (utf8 ? !IsValidUtf8(text) : !IsSevenBitAscii(text))
            Fail("Damaged package: " + std::string(what) + " at byte " + std::to_string(start) + " is not valid " +
                 (utf8 ? "UTF-8" : "7-bit ASCII") + " text");
        return text;
    }

    bool ReadBoolean(std::string_view what)
    {
        std::int64_t start = offset_;
        auto tag = ReadTag(what);
        if (static_cast<TValueTag>(tag) == TValueTag::TagTrue)
            return true;
        if (static_cast<TValueTag>(tag) == TValueTag::TagFalse)
            return false;
        Fail(WrongTag("a boolean", what, start, tag));
    }

    TEmbeddedFile ReadEmbeddedFile(std::string_view what, std::int64_t headWanted)
    {
        std::int64_t start = offset_;
        std::int32_t size = ReadInteger(std::string("the size of ") + std::string(what));
        if (size < 0)
            Fail("Damaged package: the size of " + std::string(what) + " at byte " + std::to_string(start) +
                 " is negative (" + std::to_string(size) + ")");
        Require(size, what, start);
        TEmbeddedFile file;
        file.Offset = offset_;
        file.Size = size;
        file.Head.resize(static_cast<std::size_t>(std::min<std::int64_t>(size, std::max<std::int64_t>(headWanted, 0))));
        auto head = static_cast<std::int64_t>(file.Head.size());
        ReadRaw(file.Head.data(), head);
        if (size > head) {
            offset_ += size - head;
            if (stream_.Seek(offset_, TSeekOrigin::Beginning) != offset_)
                Fail("Damaged package: cannot read " + std::to_string(size - head) + " bytes at byte " +
                     std::to_string(offset_ - (size - head)));
        }
        return file;
    }

    void ReadLines(TTextBlockKind block, std::string_view name, TPackageVisitor& visitor)
    {
        std::int32_t count = ReadCount("the line count of " + std::string(name));
        visitor.Lines(block, count);
        for (std::int32_t i = 0; i < count; ++i)
            visitor.Line(block, i, ReadText("line " + std::to_string(i + 1) + " of " + std::string(name)));
    }

    [[noreturn]] static void Fail(const std::string& message) { throw EPackageError(message); }

private:
    std::uint8_t ReadTag(std::string_view what)
    {
        std::int64_t start = offset_;
        std::uint8_t tag = 0;
        Require(1, what, start);
        ReadRaw(&tag, 1);
        return tag;
    }

    std::uint32_t ReadLittleEndian(int width, std::string_view what, std::int64_t start)
    {
        std::uint8_t bytes[4] = {};
        Require(width, what, start);
        ReadRaw(bytes, width);
        std::uint32_t value = 0;
        for (int i = width - 1; i >= 0; --i)
            value = (value << 8) | bytes[i];
        return value;
    }

    std::int64_t Require(std::int64_t count, std::string_view what, std::int64_t start)
    {
        if (count > Remaining())
            Fail("Damaged package: the file ends at byte " + std::to_string(size_) + " inside " + std::string(what) +
                 " that starts at byte " + std::to_string(start) + " (" + std::to_string(count) +
                 " more bytes expected at byte " + std::to_string(offset_) + ")");
        return count;
    }

    void ReadRaw(void* buffer, std::int64_t count)
    {
        if (count > 0 && stream_.Read(buffer, count) != count)
            Fail("Damaged package: cannot read " + std::to_string(count) + " bytes at byte " + std::to_string(offset_));
        offset_ += count;
    }

    static std::string WrongTag(std::string_view kind, std::string_view what, std::int64_t at, std::uint8_t tag)
    {
        return "Damaged package: expected " + std::string(kind) + " (" + std::string(what) + ") at byte " +
               std::to_string(at) + ", found tag " + std::to_string(tag);
    }

    TStream& stream_;
    std::int64_t size_;
    std::int64_t offset_;
};

void ReadMagic(TPackageCursor& cursor)
{
    bool ok = false;
    try {
        ok = cursor.ReadText("the package magic") == PackageMagic;
    } catch (const EPackageError&) {
    }
    if (!ok)
        TPackageCursor::Fail("Not a Quorin package: expected the text \"" + std::string(PackageMagic) + "\" at byte 0");
}

TPackageHeader ReadHeader(TPackageCursor& cursor)
{
    TPackageHeader header;
    header.Marker = cursor.ReadText("the header marker");
    for (int i = 0; i < HeaderFillerCount; ++i)
        header.Fillers[static_cast<std::size_t>(i)] = cursor.ReadInteger("a header filler value");
    std::int64_t at = cursor.Offset();
    header.Count = cursor.ReadInteger("the header's filler count");
    if (header.Count < 0 || header.Count == std::numeric_limits<std::int32_t>::max())
        TPackageCursor::Fail("Damaged package: the header's filler count at byte " + std::to_string(at) +
                             " is impossible (" + std::to_string(header.Count) + ")");
    for (std::int32_t i = 0; i <= header.Count; ++i)
        header.TailFillers.push_back(cursor.ReadInteger("a header filler value"));
    return header;
}

} // namespace

std::unique_ptr<TStream> OpenPackageFile(std::string_view path)
{
    auto file = std::make_unique<TFileStream>(path, TFileMode::OpenRead);
    if (file->Size() >= 0)
        return file;
    auto memory = std::make_unique<TMemoryStream>();
    memory->LoadFromStream(*file);
    return memory;
}

TPackage ReadPackage(std::string_view path)
{
    return ReadPackage(*OpenPackageFile(path));
}

void ReadPackage(TStream& stream, TPackageVisitor& visitor)
{
    TPackageCursor cursor(stream);
    const std::int64_t wanted = visitor.HeadBytesWanted();
    ReadMagic(cursor);
    TPackageHeader header = ReadHeader(cursor);
    visitor.Header(std::move(header), cursor.Offset());

    TPackageFields fields;
    for (const auto& field : DescriptiveFields)
        fields.*field.InPackage = cursor.ReadText(field.Name);
    for (auto& text : fields.ReservedTexts)
        text = cursor.ReadText("a reserved text");
    std::int64_t versionAt = cursor.Offset();
    fields.GameVersion = cursor.ReadInteger("the game version");
    if (fields.GameVersion < 0 || fields.GameVersion >= static_cast<std::int32_t>(GameVersionItems.size()))
        TPackageCursor::Fail("Damaged package: the game version at byte " + std::to_string(versionAt) + " is " +
                             std::to_string(fields.GameVersion) + ", not one of 0 to 5");
    for (auto& value : fields.ReservedIntegers)
        value = cursor.ReadInteger("a reserved integer");
    visitor.Fields(std::move(fields));

    std::int32_t cardRows = cursor.ReadCount("the number of UI card rows");
    visitor.UiCardRows(cardRows);
    for (std::int32_t i = 0; i < cardRows; ++i) {
        auto row = "UI card row " + std::to_string(i + 1);
        std::string faction = cursor.ReadText("the faction of " + row);
        TEmbeddedFile info = cursor.ReadEmbeddedFile("the INFO card of " + row, wanted);
        TEmbeddedFile unit = cursor.ReadEmbeddedFile("the #unit card of " + row, wanted);
        visitor.UiCardRow(i, std::move(faction), std::move(info), std::move(unit));
    }

    visitor.Model(cursor.ReadEmbeddedFile("the model file", wanted));

    std::int32_t textureRows = cursor.ReadCount("the number of texture rows");
    visitor.TextureRows(textureRows);
    for (std::int32_t i = 0; i < textureRows; ++i) {
        auto row = "texture row " + std::to_string(i + 1);
        std::string faction = cursor.ReadText("the faction of " + row);
        visitor.TextureRow(i, std::move(faction), cursor.ReadEmbeddedFile("the texture of " + row, wanted));
    }

    TPackageModelFields model;
    model.*ModelNameField.InPackage = cursor.ReadText(ModelNameField.Name);
    model.*SkeletonsField.InPackage = cursor.ReadText(SkeletonsField.Name);
    model.CustomSkeletons = cursor.ReadBoolean("the custom skeletons flag");
    visitor.ModelFields(std::move(model));
    for (const auto& block : TextBlockFields)
        cursor.ReadLines(block.Kind, block.Name, visitor);

    if (cursor.Remaining() > 0)
        TPackageCursor::Fail("Damaged package: " + std::to_string(cursor.Remaining()) +
                             " unexpected bytes after the last line, from byte " + std::to_string(cursor.Offset()));
}

namespace {

// Keeps every value; each embedded file's bytes too, or only where they lie
// when places are asked for.
class TPackageCollector : public TPackageVisitor {
public:
    explicit TPackageCollector(TPackagePlaces* places) : places_(places) {}

    TPackage Package;

    std::int64_t HeadBytesWanted() const override { return places_ ? 0 : MaxMemoryStreamSize; }
    void Header(TPackageHeader&& header, std::int64_t unitNameOffset) override
    {
        Package.Header = std::move(header);
        Package.UnitNameOffset = unitNameOffset;
    }
    void Fields(TPackageFields&& fields) override { static_cast<TPackageFields&>(Package) = std::move(fields); }
    void UiCardRow(std::int32_t, std::string&& faction, TEmbeddedFile&& info, TEmbeddedFile&& unit) override
    {
        Package.UiCardRows.push_back({std::move(faction), std::move(info.Head), std::move(unit.Head)});
        if (places_)
            places_->Cards.emplace_back(std::move(info), std::move(unit));
    }
    void Model(TEmbeddedFile&& model) override
    {
        Package.Model = std::move(model.Head);
        if (places_)
            places_->Model = std::move(model);
    }
    void TextureRow(std::int32_t, std::string&& faction, TEmbeddedFile&& texture) override
    {
        Package.TextureRows.push_back({std::move(faction), std::move(texture.Head)});
        if (places_)
            places_->Textures.push_back(std::move(texture));
    }
    void ModelFields(TPackageModelFields&& model) override
    {
        static_cast<TPackageModelFields&>(Package) = std::move(model);
    }
    void Line(TTextBlockKind block, std::int32_t, std::string&& line) override
    {
        (Package.*TextBlockField(block).InPackage).push_back(std::move(line));
    }

private:
    TPackagePlaces* places_;
};

} // namespace

TPackage ReadPackage(TStream& stream)
{
    TPackageCollector collector(nullptr);
    ReadPackage(stream, collector);
    return std::move(collector.Package);
}

TPackage ReadPackageOutline(TStream& stream, TPackagePlaces& places)
{
    places = {};
    TPackageCollector collector(&places);
    ReadPackage(stream, collector);
    return std::move(collector.Package);
}

} // namespace quorin
