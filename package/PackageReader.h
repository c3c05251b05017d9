#pragma once
// The strict package reader: every field and every embedded file's bytes, or
// an EPackageError that names what was expected at which byte offset.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Exception.h"
#include "base/Stream.h"

namespace quorin {

class EPackageError : public Exception { using Exception::Exception; };

using TBytes = std::vector<std::uint8_t>;

struct TPackageHeader {
    std::string Marker;
    std::array<std::int32_t, 5> Fillers{};
    std::int32_t Count = 0; // C: C + 1 filler values follow it
    std::vector<std::int32_t> TailFillers;
};

// What follows the header: the six descriptive texts, the four reserved
// texts, the game version and the four reserved integers.
struct TPackageFields {
    std::string UnitName;
    std::string SourceMod;
    std::string UnitAuthor;
    std::string PackAuthor;
    std::string UnitVersion;
    std::string Comment;
    std::array<std::string, 4> ReservedTexts;
    std::int32_t GameVersion = 0;
    std::array<std::int32_t, 4> ReservedIntegers{};
};

// The model's name, the skeletons and their flag, which follow the textures.
struct TPackageModelFields {
    std::string ModelName;
    std::string Skeletons;
    bool CustomSkeletons = false;
};

struct TPackageUiCardRow {
    std::string Faction;
    TBytes InfoCard;
    TBytes UnitCard;
};

struct TPackageTextureRow {
    std::string Faction;
    TBytes Texture;
};

struct TPackage : TPackageFields, TPackageModelFields {
    TPackageHeader Header;
    std::int64_t UnitNameOffset = 0; // where the header ends and the sheet starts
    std::vector<TPackageUiCardRow> UiCardRows;
    TBytes Model;
    std::vector<TPackageTextureRow> TextureRows;
    std::vector<std::string> ModelBattleLines;
    std::vector<std::string> UnitDescrLines;
    std::vector<std::string> UnitTextLines;
};

// One embedded file as the reader passes it on: where its bytes lie and as
// many of its first bytes as the visitor asked for.
struct TEmbeddedFile {
    std::int64_t Offset = 0;
    std::int64_t Size = 0;
    TBytes Head;
};

enum class TTextBlockKind { ModelBattle, UnitDescr, UnitText };

// Receives a package's values in file order, each checked before it is
// handed on, so that a package of any size is read in little memory.
class TPackageVisitor {
public:
    virtual ~TPackageVisitor() = default;
    // How many first bytes of each embedded file to read into its Head; the
    // rest is passed over.
    virtual std::int64_t HeadBytesWanted() const { return 0; }
    virtual void Header(TPackageHeader&&, std::int64_t /*unitNameOffset*/) {}
    virtual void Fields(TPackageFields&&) {}
    virtual void UiCardRows(std::int32_t /*count*/) {}
    virtual void UiCardRow(std::int32_t /*index*/, std::string&& /*faction*/, TEmbeddedFile&& /*info*/,
                           TEmbeddedFile&& /*unit*/) {}
    virtual void Model(TEmbeddedFile&&) {}
    virtual void TextureRows(std::int32_t /*count*/) {}
    virtual void TextureRow(std::int32_t /*index*/, std::string&& /*faction*/, TEmbeddedFile&& /*texture*/) {}
    virtual void ModelFields(TPackageModelFields&&) {}
    virtual void Lines(TTextBlockKind, std::int32_t /*count*/) {}
    virtual void Line(TTextBlockKind, std::int32_t /*index*/, std::string&& /*line*/) {}
};

// Where a package's embedded files lie in it.
struct TPackagePlaces {
    TEmbeddedFile Model;
    std::vector<std::pair<TEmbeddedFile, TEmbeddedFile>> Cards; // INFO, #unit of each UI card row
    std::vector<TEmbeddedFile> Textures;
};

// The package file at path, to read; one that cannot tell its size (a pipe)
// is read into memory first.
std::unique_ptr<TStream> OpenPackageFile(std::string_view path);

TPackage ReadPackage(std::string_view path);
TPackage ReadPackage(TStream& stream);
// Reads the package front to back, handing each value to visitor; raises
// EPackageError as ReadPackage does, after the values before the damage.
void ReadPackage(TStream& stream, TPackageVisitor& visitor);
// Reads and checks the whole package as ReadPackage does but leaves the
// embedded files' bytes in the stream, telling where they lie instead.
TPackage ReadPackageOutline(TStream& stream, TPackagePlaces& places);

} // namespace quorin
