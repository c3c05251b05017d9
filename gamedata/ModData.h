#pragma once
// A mod's three data files read once: its units, its model blocks and its
// unit texts, each with the lines the file holds for it and where it stands,
// and the places the game looks for a unit's cards and a model's textures.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "DataLines.h"
#include "ModFolder.h"

namespace quorin {

struct TDataBlock {
    std::string Key;                // as written on its key line
    int Line = 0;                   // of its key line, from 1
    std::vector<std::string> Lines; // the entry as the file holds it, comments right above included
    std::vector<TDataLine> Parsed;
};

struct TModTexture {
    std::string Faction;
    std::string Path; // as the line names it
};

struct TModelBlock : TDataBlock {
    std::vector<TModTexture> Textures;
    std::vector<std::string> Models; // every model_flexi line's file, most detailed first
    std::string Skeletons;           // the skeleton line's names, ", " between them
};

struct TUnitBlock : TDataBlock {
    std::string Dictionary;
    std::string Soldier; // the model block the soldier line names
    std::vector<std::string> Owners;
    bool Mercenary = false; // "mercenary_unit" among its attributes
};

// A data file that could not be read, or a line in it outside any entry.
struct TDataFileFailure {
    std::string File;
    std::string Message;
    bool Unread = false; // the file is missing or not in its encoding
};

class TModData {
public:
    // Reads what the mod has; what it lacks or cannot decode is a failure.
    explicit TModData(const TModFolder& mod);
    // Only the first unit of a type and the model block its soldier line
    // names, as taking one unit out needs: the data files are still scanned
    // whole for their failures, but no other entry is split into lines.
    TModData(const TModFolder& mod, std::string_view unitType);

    std::vector<TUnitBlock> Units;
    std::vector<TModelBlock> Models;
    std::vector<TDataFileFailure> Failures;
    std::size_t UnitEntries = 0; // the unit file's entries, read into Units or not

    // Whether the file was read; a file that was not has its failure.
    bool HasFile(TDataFileKind kind) const;

    // Keys compare as the game compares them: no case, white space as one space.
    const TUnitBlock* FindUnit(std::string_view type) const;
    const TModelBlock* FindModel(std::string_view type) const;
    // The text entry's lines, or nothing when the text file lacks the key.
    std::optional<std::vector<std::string>> FindText(std::string_view key) const;
    // The text on a key's own line after "}", or empty.
    std::string TextValue(std::string_view key) const;

private:
    // The first unit of the normalised key onlyUnit alone, when it is given.
    void Read(const TModFolder& mod, const std::optional<std::string>& onlyUnit);
    void ReadTexts(const TModFolder& mod);

    std::unordered_map<std::string, std::size_t> units_, models_;
    // The text file's UTF-16LE bytes and its entries as ranges of them,
    // decoded only when asked for: it holds several entries for every unit.
    std::string unitText_;
    std::unordered_map<std::string, std::pair<std::size_t, std::size_t>> texts_;
};

// Where the game looks for one faction's cards of a unit, in its order: the
// faction's folders, then "merc" and "mercs" for a mercenary.
struct TCardPlace {
    std::string Folder; // the faction, or "merc" for the mercenaries' folders
    std::string Info;
    std::string Unit;
};
std::vector<TCardPlace> CardPlaces(const TUnitBlock& unit, std::string_view faction);

// A path a data file names, as below the mod's root: a mod installed in its
// own folder of the game names its files "alx/data/...", which is "data/..."
// below its root.
std::string PathInMod(std::string_view path);

// The files a texture line can mean: "x.tga.dds", then "x.tga".
std::vector<std::string> TexturePlaces(std::string_view path);

// Names with ", " between them.
std::string JoinedNames(const std::vector<std::string>& names);

// The unit text keys of a dictionary name: {D}, {D_descr}, {D_descr_short}.
std::vector<std::string> TextKeys(std::string_view dictionary);

} // namespace quorin
