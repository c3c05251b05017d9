#pragma once
// The unit's text fields described once: where each lives in the window's
// sheet and in a read package, its manifest key, how reports and damage
// messages name it and which window control holds it. The package writer and
// reader, the manifest reader and writer, the package report and the window
// all walk these tables, so no field can be missed by one of them.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "package/PackageReader.h"
#include "package/UnitSheet.h"

namespace quorin {

template <typename TPackagePart>
struct TTextField {
    std::string_view Key;     // in the manifest and in JSON reports
    std::string_view Label;   // in the text report
    std::string_view Name;    // in damage messages
    std::string_view Control; // the window's edit
    std::string TUnitSheet::*InSheet;
    std::string TPackagePart::*InPackage;
};

// The six descriptive texts, in package order.
inline constexpr std::array<TTextField<TPackageFields>, 6> DescriptiveFields{{
    {"unit_name", "Unit name:", "the unit name", "Edit1", &TUnitSheet::UnitName, &TPackageFields::UnitName},
    {"source_mod", "Source mod:", "the source mod", "Edit2", &TUnitSheet::SourceMod, &TPackageFields::SourceMod},
    {"unit_author", "Unit author:", "the unit author", "Edit3", &TUnitSheet::UnitAuthor, &TPackageFields::UnitAuthor},
    {"pack_author", "Pack author:", "the pack author", "Edit4", &TUnitSheet::PackAuthor, &TPackageFields::PackAuthor},
    {"unit_version", "Unit version:", "the unit version", "Edit5", &TUnitSheet::UnitVersion,
     &TPackageFields::UnitVersion},
    {"comment", "Comment:", "the comment", "Edit6", &TUnitSheet::Comment, &TPackageFields::Comment},
}};

inline constexpr TTextField<TPackageModelFields> ModelNameField{
    "model_name", "Model name:", "the model name", "Edit7", &TUnitSheet::ModelName, &TPackageModelFields::ModelName};
inline constexpr TTextField<TPackageModelFields> SkeletonsField{
    "skeletons", "Skeletons:", "the skeletons", "Edit9", &TUnitSheet::Skeletons, &TPackageModelFields::Skeletons};

struct TTextBlockField {
    std::string_view Key;
    std::string_view Name;
    std::string_view Control; // the window's memo
    TTextBlockKind Kind;
    std::vector<std::string> TUnitSheet::*InSheet;
    std::vector<std::string> TPackage::*InPackage;
};

// The three text blocks, in package order, indexed by their kind.
inline constexpr std::array<TTextBlockField, 3> TextBlockFields{{
    {"model_battle", "the model description", "Memo1", TTextBlockKind::ModelBattle, &TUnitSheet::ModelBattleLines,
     &TPackage::ModelBattleLines},
    {"unit_descr", "the unit description", "Memo2", TTextBlockKind::UnitDescr, &TUnitSheet::UnitDescrLines,
     &TPackage::UnitDescrLines},
    {"unit_text", "the unit text", "Memo3", TTextBlockKind::UnitText, &TUnitSheet::UnitTextLines,
     &TPackage::UnitTextLines},
}};

static_assert(TextBlockFields[1].Kind == TTextBlockKind::UnitDescr && TextBlockFields[2].Kind == TTextBlockKind::UnitText);

constexpr const TTextBlockField& TextBlockField(TTextBlockKind kind)
{
    return TextBlockFields[static_cast<std::size_t>(kind)];
}

} // namespace quorin
