#include "FileFormats.h"

#include <algorithm>

#include "Bitmap.h"
#include "ICO.h"
#include "Metafile.h"
#include "base/Text.h"

namespace quorin {

TFileFormatsList& TFileFormatsList::Instance()
{
    static TFileFormatsList list;
    return list;
}

TFileFormatsList::TFileFormatsList()
{
    // The built-in four stand first whichever module touches the list first.
    RegisterFormat("wmf", "Metafiles", TMetafile::ClassRecord);
    RegisterFormat("emf", "Enhanced Metafiles", TMetafile::ClassRecord);
    RegisterFormat("ico", "Icons", TIcon::ClassRecord);
    RegisterFormat("bmp", "Bitmaps", TBitmap::ClassRecord);
}

void TFileFormatsList::RegisterFormat(std::string_view extension, std::string_view description,
                                      const TGraphicClass& graphicClass)
{
    formats_.push_back({&graphicClass, LowerCaseText(extension), std::string(description)});
}

const TGraphicClass* TFileFormatsList::ClassForExtension(std::string_view extension) const
{
    std::string lowered = LowerCaseText(extension);
    // From the last entry, so that a later registration shadows an earlier one.
    for (auto it = formats_.rbegin(); it != formats_.rend(); ++it)
        if (it->Extension == lowered)
            return it->Class;
    return nullptr;
}

const TGraphicClass* TFileFormatsList::ClassForName(std::string_view name) const
{
    for (auto it = formats_.rbegin(); it != formats_.rend(); ++it)
        if (it->Class->Name == name)
            return it->Class;
    return nullptr;
}

void TFileFormatsList::RemoveFormatsOf(const TGraphicClass& graphicClass)
{
    std::erase_if(formats_, [&](const TFileFormat& format) { return format.Class->InheritsFrom(graphicClass); });
}

} // namespace quorin
