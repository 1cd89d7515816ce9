#include "platform/system/memory_status.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace kx::sys {
namespace {

constexpr std::uint64_t kKiB = 1024;

// A 32 GB machine with 8 GB swap: every figure is far beyond what 32 bits hold.
constexpr const char* kBigMachine =
    "MemTotal:       32768000 kB\n"
    "MemFree:        1000000 kB\n"
    "MemAvailable:   24576000 kB\n"
    "Buffers:        200000 kB\n"
    "Cached:         9000000 kB\n"
    "SwapTotal:      8388608 kB\n"
    "SwapFree:       8000000 kB\n"
    "CommitLimit:    24772608 kB\n"
    "Committed_AS:   30000000 kB\n"
    "VmallocTotal:   34359738367 kB\n"
    "HugePages_Total:       0\n";

class MemoryStatusTest : public ::testing::Test {
  protected:
    MemoryStatusSources sourcesFor(const std::string& meminfo,
                                   const std::string& overcommit = "0\n") {
        test::writeFile(dir_ / "meminfo", meminfo);
        test::writeFile(dir_ / "status",
                        "Name:\tkxdiag\nVmPeak:\t  300000 kB\nVmSize:\t  250000 kB\n");
        test::writeFile(dir_ / "overcommit", overcommit);
        return {(dir_ / "meminfo").string(), (dir_ / "status").string(),
                (dir_ / "overcommit").string(), std::uint64_t{1} << 47};
    }
    test::TempDir dir_;
};

TEST_F(MemoryStatusTest,
       MapsMeminfoOntoTheWindowsFieldsAs64BitCountsThatSaturateOrFailsWhenUnreadable) {
    const auto status = queryMemoryStatus(sourcesFor(kBigMachine));
    ASSERT_TRUE(status);
    EXPECT_EQ(status->totalPhysical, 32768000 * kKiB);
    EXPECT_EQ(status->availablePhysical, 24576000 * kKiB);
    EXPECT_EQ(status->memoryLoad, 25u);
    EXPECT_EQ(status->totalPageFile, (32768000 + 8388608) * kKiB);
    EXPECT_EQ(status->availablePageFile, (24576000 + 8000000) * kKiB);
    EXPECT_EQ(status->totalVirtual, std::uint64_t{1} << 47);
    EXPECT_EQ(status->availableVirtual, (std::uint64_t{1} << 47) - 250000 * kKiB);

    // Strict overcommit uses the commit limit, clamped at zero.
    const auto overCommitted = queryMemoryStatus(sourcesFor(kBigMachine, "2\n"));
    ASSERT_TRUE(overCommitted);
    EXPECT_EQ(overCommitted->availablePageFile, 0u);

    const auto roomLeft = queryMemoryStatus(sourcesFor(
        "MemTotal: 1000 kB\nMemAvailable: 500 kB\nCommitLimit: 900 kB\nCommitted_AS: 400 kB\n",
        "2\n"));
    ASSERT_TRUE(roomLeft);
    EXPECT_EQ(roomLeft->availablePageFile, 500 * kKiB);
    // Old kernels without MemAvailable count free memory, buffers and cache.
    const auto oldKernel = queryMemoryStatus(
        sourcesFor("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 50 kB\nCached: 183 kB\n"));
    ASSERT_TRUE(oldKernel);
    EXPECT_EQ(oldKernel->availablePhysical, 333 * kKiB);
    EXPECT_EQ(oldKernel->memoryLoad, 67u);  // 66.7 rounds up
    EXPECT_EQ(oldKernel->totalPageFile, 1000 * kKiB);

    // Unreadable or empty meminfo fails.
    EXPECT_FALSE(queryMemoryStatus(sourcesFor("garbage without figures\n")));
    EXPECT_FALSE(queryMemoryStatus(sourcesFor("MemTotal: 0 kB\n")));
    MemoryStatusSources missing;
    missing.meminfoPath = (dir_ / "absent").string();
    EXPECT_FALSE(queryMemoryStatus(missing));

    // Absurd figures saturate instead of wrapping.
    const auto absurd = queryMemoryStatus(
        sourcesFor("MemTotal: 99999999999999999999999 kB\nMemAvailable: 18014398509481984 kB\n"
                   "SwapTotal: 18014398509481984 kB\nSwapFree: 5 kB\n"));
    ASSERT_TRUE(absurd);
    EXPECT_EQ(absurd->totalPhysical, UINT64_MAX);
    EXPECT_EQ(absurd->totalPageFile, UINT64_MAX);
    EXPECT_LE(absurd->memoryLoad, 100u);
}

// The default sources: this machine's files, this process's size and its address-space limit. The
// figures themselves are proved on the fixtures above.
TEST(MemoryStatusOfThisMachine, IsReadFromTheDefaultSources) {
    const auto status = queryMemoryStatus();
    ASSERT_TRUE(status);
    EXPECT_GT(status->totalPhysical, 0u);
    EXPECT_LT(status->availableVirtual, status->totalVirtual);
}

}  // namespace
}  // namespace kx::sys
