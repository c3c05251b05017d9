// Replays every file under fuzz/corpus through the body of the fuzz target
// named after its folder. A decoder may refuse an input; what fails the test
// is a crash or a trap, or an input that no target would ever run.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/FuzzBodies.h"

namespace quorin::fuzz {
namespace {

namespace fs = std::filesystem;

const fs::path CorpusRoot{QUORIN_FUZZ_CORPUS};

const TTarget* TargetFor(const std::string& folder)
{
    for (const TTarget& target : Targets)
        if (target.Corpus == folder)
            return &target;
    return nullptr;
}

struct CorpusInput {
    std::string Folder;
    fs::path File;

    friend void PrintTo(const CorpusInput& input, std::ostream* out) { *out << input.File.string(); }
};

std::vector<CorpusInput> CorpusInputs()
{
    std::vector<CorpusInput> inputs;
    for (const fs::directory_entry& folder : fs::directory_iterator(CorpusRoot))
        if (folder.is_directory())
            for (const fs::directory_entry& file : fs::directory_iterator(folder.path()))
                if (file.is_regular_file())
                    inputs.push_back({folder.path().filename().string(), file.path()});
    std::sort(inputs.begin(), inputs.end(), [](const CorpusInput& a, const CorpusInput& b) { return a.File < b.File; });
    return inputs;
}

std::vector<std::uint8_t> ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CorpusReplayTest : public testing::TestWithParam<CorpusInput> {};

TEST_P(CorpusReplayTest, RunsThroughItsTarget)
{
    const CorpusInput& input = GetParam();
    const TTarget* target = TargetFor(input.Folder);
    ASSERT_NE(target, nullptr) << "no fuzz target reads corpus/" << input.Folder;
    const std::vector<std::uint8_t> bytes = ReadAll(input.File);
    ASSERT_EQ(bytes.size(), fs::file_size(input.File)) << input.File;
    EXPECT_EQ(target->Run(bytes.data(), bytes.size()), 0);
}

std::string CaseName(const testing::TestParamInfo<CorpusInput>& info)
{
    std::string name = info.param.Folder + "_" + info.param.File.filename().string();
    std::replace_if(name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusReplayTest, testing::ValuesIn(CorpusInputs()), CaseName);

// Every target has seeds to replay, so none of them goes untested here.
TEST(CorpusFolders, EveryTargetHasInputs)
{
    const std::vector<CorpusInput> inputs = CorpusInputs();
    for (const TTarget& target : Targets) {
        const auto count = std::count_if(inputs.begin(), inputs.end(),
                                         [&](const CorpusInput& input) { return input.Folder == target.Corpus; });
        EXPECT_GT(count, 0) << "corpus/" << target.Corpus;
    }
}

} // namespace
} // namespace quorin::fuzz
