// Every checked-in input of the receive fuzz targets, replayed through the targets' own checks:
// an input that once showed a fault stays a test in the ordinary build.
#include "protocol/fuzz/ReceiveHarness.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {
namespace fs = std::filesystem;

struct TCorpus {
    const char* folder;
    ReceiveHarness::TProtocol protocol;
};

std::vector<fs::path> CorpusFiles(const char* folder)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(VELTRANO_RECEIVE_CORPUS) / folder))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::uint8_t> FileBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ReceiveCorpus : public testing::TestWithParam<TCorpus> {};

TEST_P(ReceiveCorpus, EveryInputPassesTheFuzzChecks)
{
    const TCorpus corpus = GetParam();
    const std::vector<fs::path> files = CorpusFiles(corpus.folder);
    // A moved or emptied folder must not pass as "nothing failed".
    ASSERT_GE(files.size(), 10u) << corpus.folder;
    ReceiveHarness::Prepare(corpus.protocol);
    for (const fs::path& file : files) {
        const std::vector<std::uint8_t> input = FileBytes(file);
        ASSERT_FALSE(input.empty()) << file;
        EXPECT_EQ(ReceiveHarness::Run(input.data(), input.size()), "") << file;
    }
}

INSTANTIATE_TEST_SUITE_P(Protocols, ReceiveCorpus,
                         testing::Values(TCorpus{"standard", ReceiveHarness::Standard},
                                         TCorpus{"modbus", ReceiveHarness::Modbus}),
                         [](const testing::TestParamInfo<TCorpus>& param) { return std::string(param.param.folder); });
} // namespace
