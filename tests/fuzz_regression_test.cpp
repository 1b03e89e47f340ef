// Replays the fuzz targets' starting corpus (fuzz/corpus/<target>) and every input that
// once made a target fail (tests/fuzz_regressions/<target>, kept there by
// fuzz/run.sh) through the same checks, in the ordinary and the sanitizer
// builds alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "../fuzz/file_checks.h"
#include "../fuzz/interface_checks.h"
#include "../fuzz/parser_checks.h"

namespace {

namespace fs = std::filesystem;
using velkor::fuzzing::Failure;

struct FuzzTarget {
    const char* name;
    Failure (*check)(const uint8_t*, std::size_t);
};

void PrintTo(const FuzzTarget& target, std::ostream* out) { *out << target.name; }

const FuzzTarget kTargets[] = {
    {"fuzz_frame_header", velkor::fuzzing::check_frame_header},
    {"fuzz_id3v1", velkor::fuzzing::check_id3v1},
    {"fuzz_id3v2", velkor::fuzzing::check_id3v2},
    {"fuzz_file", velkor::fuzzing::check_file},
    {"fuzz_trailing_tags", velkor::fuzzing::check_trailing_tags},
    {"fuzz_format_signature", velkor::fuzzing::check_format_signature},
    {"fuzz_frame_inflate", velkor::fuzzing::check_frame_inflate},
    {"fuzz_interface", velkor::fuzzing::check_interface},
    {"fuzz_frame_count", velkor::fuzzing::check_frame_count},
    {"fuzz_vbr_frame", velkor::fuzzing::check_vbr_frame},
    {"fuzz_id3v1_write", velkor::fuzzing::check_id3v1_write},
    {"fuzz_scan", velkor::fuzzing::check_scan},
    {"fuzz_id3v2_edit", velkor::fuzzing::check_id3v2_edit},
};

std::vector<fs::path> inputs_of(const std::string& target) {
    std::vector<fs::path> inputs;
    for (const fs::path& dir : {fs::path(VELKOR_SOURCE_DIR) / "fuzz" / "corpus" / target,
                               fs::path(VELKOR_SOURCE_DIR) / "tests" / "fuzz_regressions" / target}) {
        if (!fs::is_directory(dir)) continue;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.is_regular_file()) inputs.push_back(entry.path());
        }
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

std::vector<uint8_t> read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class FuzzRegression : public ::testing::TestWithParam<FuzzTarget> {};

TEST_P(FuzzRegression, EveryKeptInputPassesTheChecks) {
    const std::vector<fs::path> inputs = inputs_of(GetParam().name);
    ASSERT_FALSE(inputs.empty()) << "no starting inputs for " << GetParam().name;
    for (const fs::path& input : inputs) {
        const std::vector<uint8_t> bytes = read_file(input);
        const Failure failure = GetParam().check(bytes.data(), bytes.size());
        EXPECT_EQ(failure, nullptr) << input << ": " << failure;
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegression, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<FuzzTarget>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
