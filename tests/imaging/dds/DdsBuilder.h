#pragma once
// Small DDS files made in the tests: a 128-byte header with the fields the
// decoder reads, then whatever data the test appends.

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace quorin::test {

class DdsBuilder {
public:
    // A valid texture header of the given size with no pixel format yet.
    DdsBuilder(std::uint32_t width, std::uint32_t height)
    {
        std::memcpy(&header_[0], "DDS ", 4);
        Field(4, 124);         // header size
        Field(8, 0x1007);      // caps, height, width, pixel format
        Field(12, height);
        Field(16, width);
        Field(76, 32);         // pixel format size
        Field(108, 0x1000);    // texture
    }

    DdsBuilder& Field(std::size_t offset, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            header_.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
        return *this;
    }

    DdsBuilder& Magic(std::string_view four)
    {
        std::memcpy(&header_[0], four.data(), 4);
        return *this;
    }

    // FourCC bit, the code (four bytes, zero bytes allowed) and the linear size.
    DdsBuilder& Compressed(std::string_view fourCC, std::uint32_t linearSize)
    {
        flags_ |= 0x4;
        Field(80, flags_);
        std::memcpy(&header_[84], fourCC.data(), 4);
        return Field(20, linearSize);
    }

    DdsBuilder& Uncompressed(std::uint32_t bits, std::uint32_t red, std::uint32_t green, std::uint32_t blue,
                             std::uint32_t alpha = 0)
    {
        flags_ |= 0x40; // RGB
        Field(80, flags_);
        Field(88, bits);
        Field(92, red);
        Field(96, green);
        Field(100, blue);
        return Field(104, alpha);
    }

    DdsBuilder& AlphaPixels()
    {
        flags_ |= 0x1;
        return Field(80, flags_);
    }

    DdsBuilder& Caps(std::uint32_t caps) { return Field(108, caps); }
    DdsBuilder& MipMaps(std::uint32_t count) { return Field(28, count); }

    DdsBuilder& Data(const std::vector<std::uint8_t>& bytes)
    {
        data_.insert(data_.end(), bytes.begin(), bytes.end());
        return *this;
    }

    std::vector<std::uint8_t> Bytes() const
    {
        std::vector<std::uint8_t> out(header_.begin(), header_.end());
        out.insert(out.end(), data_.begin(), data_.end());
        return out;
    }

private:
    std::array<std::uint8_t, 128> header_{};
    std::uint32_t flags_ = 0;
    std::vector<std::uint8_t> data_;
};

} // namespace quorin::test
