#include "Picture.h"

#include <string>

#include "FileFormats.h"
#include "base/RuntimeText.h"
#include "base/Text.h"

namespace quorin {

namespace {
constexpr std::string_view UnknownExtension = "Unknown picture file extension (.%s)";
} // namespace

void TPicture::LoadByExtension(std::string_view fileName)
{
    std::string_view extension = FileExtension(fileName);
    const TGraphicClass* graphicClass = TFileFormatsList::Instance().ClassForExtension(extension);
    if (!graphicClass || !graphicClass->Create)
        throw EInvalidGraphic(FormatText(UnknownExtension, extension));

    std::unique_ptr<TGraphic> graphic = graphicClass->Create();
    graphic->OnProgress = [this] {
        if (OnProgress)
            OnProgress();
    };
    // Decoded completely before the previous picture is let go; a failure
    // drops only the new instance.
    graphic->DecodeFile(fileName);
    Adopt(std::move(graphic));
}

void TPicture::CopyFrom(const TPicture& other)
{
    if (!other.graphic_) {
        Clear();
        return;
    }
    const TGraphicClass& graphicClass = other.graphic_->ClassType();
    if (!graphicClass.Create)
        throw EInvalidGraphic("Cannot copy a picture of class " + std::string(graphicClass.Name));
    std::unique_ptr<TGraphic> graphic = graphicClass.Create();
    graphic->Assign(*other.graphic_);
    Adopt(std::move(graphic));
}

void TPicture::Clear() { Adopt(nullptr); }

void TPicture::ReadStored(TStream& stream) { Adopt(ReadStoredGraphic(stream)); }

std::unique_ptr<TGraphic> TPicture::ReadStoredGraphic(TStream& stream)
{
    std::uint8_t length = 0;
    stream.ReadBuffer(&length, 1);
    std::string name(length, '\0');
    stream.ReadBuffer(name.data(), length);

    const TGraphicClass* graphicClass = TFileFormatsList::Instance().ClassForName(name);
    if (!graphicClass || !graphicClass->Create)
        return nullptr;
    std::unique_ptr<TGraphic> graphic = graphicClass->Create();
    graphic->ReadData(stream);
    return graphic;
}

std::unique_ptr<TGraphic> TPicture::Release()
{
    if (graphic_) {
        // Its hooks call this holder.
        graphic_->OnProgress = nullptr;
        graphic_->OnChange = nullptr;
    }
    return std::move(graphic_);
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) { Adopt(std::move(graphic)); }

void TPicture::Adopt(std::unique_ptr<TGraphic> graphic)
{
    graphic_ = std::move(graphic);
    if (graphic_) {
        graphic_->OnProgress = [this] {
            if (OnProgress)
                OnProgress();
        };
        graphic_->OnChange = [this] {
            if (OnChange)
                OnChange();
        };
    }
    if (OnChange)
        OnChange();
}

} // namespace quorin
