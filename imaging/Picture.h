#pragma once
// The picture holder: at most one graphic, replaced only by a complete decode.

#include <functional>
#include <memory>
#include <string_view>

#include "Graphic.h"

namespace quorin {

class TPicture {
public:
    TPicture() = default;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    TGraphic* Graphic() const { return graphic_.get(); }
    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }

    // Picks the class by the file's extension ("Unknown picture file
    // extension (.%s)" when none claims it) and decodes the file. On any
    // failure the previous picture stays, untouched.
    void LoadByExtension(std::string_view fileName);
    // A copy of other's graphic (a new instance of its class); clears when
    // other is empty. The owner is notified either way.
    void CopyFrom(const TPicture& other);
    void Clear();
    // The form stored with window layouts: one byte n, n bytes of class name,
    // then that class's data. An unregistered name leaves the holder empty.
    void ReadStored(TStream& stream);
    // The same, decoded without a holder (null for an unregistered name): for
    // decoding away from the thread that owns the holder.
    static std::unique_ptr<TGraphic> ReadStoredGraphic(TStream& stream);
    // Hands the graphic over and leaves the holder empty, without a
    // notification: for taking a decoded picture away without copying it.
    std::unique_ptr<TGraphic> Release();
    // Takes ownership of graphic and notifies the owner.
    void SetGraphic(std::unique_ptr<TGraphic> graphic);

    std::function<void()> OnChange;
    std::function<void()> OnProgress;

private:
    void Adopt(std::unique_ptr<TGraphic> graphic);

    std::unique_ptr<TGraphic> graphic_;
};

} // namespace quorin
