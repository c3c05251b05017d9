// The decoders' little-endian reader.

#include <gtest/gtest.h>

#include "imaging/ByteReader.h"

namespace quorin::bytes {
namespace {

const std::uint8_t Field[] = {0x81, 0x92, 0xA3, 0xF4, 0x55};

TEST(ByteReaderTest, FieldsAreLittleEndian)
{
    EXPECT_EQ(U16(Field), 0x9281u);
    EXPECT_EQ(U24(Field), 0xA39281u);
    EXPECT_EQ(U32(Field), 0xF4A39281u);
    EXPECT_EQ(I16(Field), static_cast<std::int16_t>(-0x6D7F));
    EXPECT_EQ(I32(Field), static_cast<std::int32_t>(-0x0B5C6D7F));
    EXPECT_EQ(U32(Field + 1), 0x55F4A392u);
}

TEST(ByteReaderTest, LeadingBytesLeaveTheHighBytesZero)
{
    const std::uint32_t expected[] = {0, 0x81, 0x9281, 0xA39281, 0xF4A39281};
    for (std::size_t count = 0; count <= 4; ++count)
        EXPECT_EQ(ULeading(Field, count), expected[count]) << count;
}

TEST(ByteReaderTest, FitsComparesBeforeSubtracting)
{
    struct Case {
        std::int64_t Offset, Count, Size;
        bool Fits;
    };
    const Case cases[] = {
        {0, 0, 0, true},           {0, 4, 4, true},          {1, 4, 4, false},        {4, 0, 4, true},
        {5, 0, 4, false},          {-1, 1, 4, false},        {0, -1, 4, false},       {0, 1, -1, false},
        {INT64_MAX, 1, 10, false}, {1, INT64_MAX, 10, false}, {1, INT64_MAX - 1, INT64_MAX, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Fits(c.Offset, c.Count, c.Size), c.Fits) << c.Offset << " + " << c.Count << " in " << c.Size;
}

} // namespace
} // namespace quorin::bytes
