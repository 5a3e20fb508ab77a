// SPDX-License-Identifier: GPL-3.0-or-later
// Every input the fuzz targets ever failed on (fuzz/regressions/<target>/) and every seed of
// their corpora (fuzz/corpus/<target>/) goes again through the same code and invariants as in
// the fuzz target, so a fixed fault stays fixed in an ordinary build. The markup target's inputs
// need the view's markup code, which this test program does not link; fuzz/smoke.sh replays them.

#include "../../fuzz/editchecks.h"
#include "../../fuzz/fuzzchecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace settree::fuzz {
namespace {

namespace fs = std::filesystem;

const fs::path kFuzzFolder = fs::path(SETTREE_FIXTURES) / ".." / ".." / "fuzz";

std::vector<fs::path> inputsOf(const std::string& folder, const std::string& target) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(kFuzzFolder / folder / target, error))
        if (entry.is_regular_file() && entry.path().filename().string().front() != '.')
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

struct Target {
    const char* name;
    std::function<void(std::string_view)> check;
};

class FuzzInputs : public testing::TestWithParam<Target> {};

TEST_P(FuzzInputs, PassTheTargetsInvariants) {
    const Target& target = GetParam();
    const std::vector<fs::path> seeds = inputsOf("corpus", target.name);
    ASSERT_FALSE(seeds.empty()) << "no seed corpus for " << target.name << " in " << kFuzzFolder;
    std::vector<fs::path> inputs = inputsOf("regressions", target.name);
    inputs.insert(inputs.end(), seeds.begin(), seeds.end());
    for (const fs::path& input : inputs) {
        SCOPED_TRACE(input.string());
        const std::string bytes = ReadFileBytes(input.string());
        try {
            target.check(bytes);
        } catch (const FuzzInvariantError& e) {
            ADD_FAILURE() << e.what();
        } catch (const EditInvariantError& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Targets, FuzzInputs,
    testing::Values(Target{"elementtext", [](std::string_view b) { CheckElementText(b); }},
                    Target{"pcreader", [](std::string_view b) { CheckPcLoad(b); }},
                    Target{"roundtrip", [](std::string_view b) { CheckRoundTrips(b); }},
                    Target{"editing", [](std::string_view b) { CheckEditSequence(b); }},
                    Target{"catalog",
                           [](std::string_view b) {
                               ScratchFolder folder;
                               CheckCatalog(b, folder);
                           }}),
    [](const testing::TestParamInfo<Target>& param) { return std::string(param.param.name); });

} // namespace
} // namespace settree::fuzz
