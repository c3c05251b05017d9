#pragma once
// The process-wide registry of picture file formats.

#include <string>
#include <string_view>
#include <vector>

#include "Graphic.h"

namespace quorin {

struct TFileFormat {
    const TGraphicClass* Class;
    std::string Extension; // lower-cased, without the dot
    std::string Description;
};

class TFileFormatsList {
public:
    // Created on first use, holding wmf, emf, ico and bmp in that order.
    static TFileFormatsList& Instance();

    // Appends an entry; the extension is lower-cased. No duplicate check.
    void RegisterFormat(std::string_view extension, std::string_view description, const TGraphicClass& graphicClass);
    // Lower-cases extension (Latin and Cyrillic) and scans from the last entry.
    const TGraphicClass* ClassForExtension(std::string_view extension) const;
    // Scans from the last entry, comparing class names exactly.
    const TGraphicClass* ClassForName(std::string_view name) const;
    // Removes every entry whose class is graphicClass or derives from it.
    void RemoveFormatsOf(const TGraphicClass& graphicClass);

    const std::vector<TFileFormat>& Formats() const { return formats_; }

private:
    TFileFormatsList();
    std::vector<TFileFormat> formats_;
};

} // namespace quorin
