#pragma once
// The abstract decoded picture and the class records through which the
// format registry creates pictures by extension or by class name.

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "base/Exception.h"
#include "base/Stream.h"

namespace quorin {

class TGraphic;
class TCanvas;

class EInvalidGraphic : public Exception { using Exception::Exception; };

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

using TGraphicFactory = std::unique_ptr<TGraphic> (*)();

// What the registry knows of a graphic class: its name, how to make one, and
// what it derives from.
struct TGraphicClass {
    std::string_view Name;
    TGraphicFactory Create; // null for abstract classes
    const TGraphicClass* Base;

    bool InheritsFrom(const TGraphicClass& other) const
    {
        for (const TGraphicClass* c = this; c; c = c->Base)
            if (c == &other)
                return true;
        return false;
    }
};

class TGraphic {
public:
    static const TGraphicClass ClassRecord;

    TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;
    virtual ~TGraphic() = default;

    virtual const TGraphicClass& ClassType() const = 0;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetWidth(int width) = 0;
    virtual void SetHeight(int height) = 0;
    virtual bool Transparent() const { return transparent_; }
    virtual void SetTransparent(bool value);

    // Draws the picture scaled into dest.
    virtual void Draw(TCanvas& canvas, const TRect& dest) const = 0;

    // Opens the file for reading ("Cannot open file %s") and decodes it.
    void DecodeFile(std::string_view fileName);
    virtual void DecodeStream(TStream& stream) = 0;
    // The form stored with window layouts: a 32-bit little-endian byte count,
    // then that many bytes of the picture file, decoded by DecodeStream.
    virtual void ReadData(TStream& stream);
    // Becomes a copy of source (same class): size, depth, pixels, flags.
    virtual void Assign(const TGraphic& source) = 0;

    std::function<void()> OnChange;
    std::function<void()> OnProgress; // no decoder of ours raises it

protected:
    void Changed()
    {
        if (OnChange)
            OnChange();
    }

private:
    bool transparent_ = false;
};

} // namespace quorin
