#include <gtest/gtest.h>

#include <string>

#include "base/Blake2b.h"

namespace quorin {
namespace {

struct TDigestCase {
    std::string Input;
    std::string Digest; // as "b2sum -l 256" gives it
};

// Lengths around the block size matter: a last block that is full must carry
// the final flag itself, with no empty block after it.
TEST(Blake2bTest, KnownDigests)
{
    const TDigestCase cases[] = {
        {"", "0e5751c026e543b2e8ab2eb06099daa1d1e5df47778f7787faab45cdf12fe3a8"},
        {"abc", "bddd813c634239723171ef3fee98579b94964e3bb1cb3e427262c8c068d52319"},
        {std::string(128, 'a'), "ae2aa48507885c4c950fb809b2076f959cde9f8ea6da260d9a3587df33dac450"},
        {std::string(129, 'a'), "2f64744a6de0d2c0b56e64cf6e29a5aaa255010d415d51c75ccc82f73dccd865"},
        {std::string(1000000, 'a'), "0741850f36cba4259628355d1073e24ddb9ca0e1bfac36fd39ae5dc2101e23a4"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Blake2b256Hex(c.Input), c.Digest) << c.Input.size() << " bytes";
}

} // namespace
} // namespace quorin
