// Replays the fuzz corpora through the fuzz targets, without libFuzzer: the
// seeds, and every input that once made a fuzzer fail (fuzz/regressions/).
// A broken invariant of the targets, a crash, or an input slower than the
// fuzzers' timeout fails the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzzTargets.h"
#include "tests/support/tempDir.h"

namespace fs = std::filesystem;

namespace {

const fs::path kFuzzDir = SCRIVLET_FUZZ_DIR;
// Far above what any input takes once its fault is fixed, far below what
// the faults took. An unoptimised sanitizer build runs some inputs (a read
// budget spent in full) over ten times slower, on a busy machine slower still.
#ifdef SCRIVLET_SLOW_BUILD
constexpr auto kTimeout = std::chrono::seconds(300);
#else
constexpr auto kTimeout = std::chrono::seconds(30);
#endif

// The files of a corpus folder in name order; none when it does not exist.
std::vector<fs::path> inputsIn(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// Runs target on every input of folder, reporting each failure with the
// input's name. Returns the names and results of the inputs that ran.
template <class Target>
std::vector<std::pair<std::string, bool>> replay(const fs::path& folder, Target target)
{
    std::vector<std::pair<std::string, bool>> results;
    for (const fs::path& file : inputsIn(folder)) {
        std::string bytes = readFile(file.string());
        auto start = std::chrono::steady_clock::now();
        try {
            bool ok = target(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            results.emplace_back(file.filename().string(), ok);
        } catch (const FuzzInvariantBroken& e) {
            ADD_FAILURE() << file << ": " << e.what();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, kTimeout) << file << " is as slow as a hang";
    }
    return results;
}

bool convert(const uint8_t* data, size_t size) { return fuzzConvertOne(data, size); }
bool convertExtended(const uint8_t* data, size_t size) { return fuzzConvertExtendedOne(data, size); }
bool profile(const uint8_t* data, size_t size)
{
    fuzzProfileOne(data, size);
    return true;
}

bool fonts(const uint8_t* data, size_t size)
{
    fuzzFontsOne(data, size);
    return true;
}

} // namespace

TEST(FuzzReplayTest, ConvertSeedsConvertUnlessNamedToFail)
{
    auto results = replay(kFuzzDir / "corpus/convert", convert);
    ASSERT_GE(results.size(), 20u) << "the seed corpus is missing: run makeSeeds";
    for (const auto& [name, ok] : results)
        EXPECT_EQ(ok, name.rfind("fail-", 0) != 0) << name;
}

TEST(FuzzReplayTest, ExtendedSeedsConvertUnlessNamedToFail)
{
    // The default mode's seeds too: extended reading opens them all but
    // those the settings stop, and may open what the default mode refuses.
    for (const auto& [name, ok] : replay(kFuzzDir / "corpus/convert", convertExtended)) {
        if (name == "fail-cancel.pdf" || name == "fail-disk-full.pdf" || name == "fail-empty.pdf") {
            EXPECT_FALSE(ok) << name;
        }
    }
    auto results = replay(kFuzzDir / "corpus/extended", convertExtended);
    ASSERT_GE(results.size(), 15u) << "the seed corpus is missing: run makeSeeds FOLDER extended";
    for (const auto& [name, ok] : results)
        EXPECT_EQ(ok, name.rfind("fail-", 0) != 0) << name;
}

TEST(FuzzReplayTest, ProfileSeeds)
{
    EXPECT_GE(replay(kFuzzDir / "corpus/profile", profile).size(), 5u) << "the seed corpus is missing";
}

TEST(FuzzReplayTest, FontSeeds)
{
    EXPECT_GE(replay(kFuzzDir / "corpus/fonts", fonts).size(), 4u) << "the seed corpus is missing";
}

TEST(FuzzReplayTest, Regressions)
{
    // Each of these once crashed, hung or broke an invariant; now it may
    // only fail the file, quickly.
    replay(kFuzzDir / "regressions/convert", convert);
    replay(kFuzzDir / "regressions/convert", convertExtended);
    replay(kFuzzDir / "regressions/extended", convertExtended);
    replay(kFuzzDir / "regressions/profile", profile);
    replay(kFuzzDir / "regressions/fonts", fonts);
}
