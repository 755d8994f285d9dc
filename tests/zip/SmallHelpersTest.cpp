#include <gtest/gtest.h>

#include <stdexcept>

#include "TempDir.h"
#include "platform/FileOps.h"
#include "zip/base/FileHelpers.h"
#include "zip/base/SetForScope.h"
#include "zip/base/SmallHelpers.h"

namespace {

uint32_t Dos(uint32_t year, uint32_t month, uint32_t day, uint32_t hour, uint32_t minute,
             uint32_t second) {
    const uint32_t date = ((year - 1980) << 9) | (month << 5) | day;
    const uint32_t time = (hour << 11) | (minute << 5) | (second / 2);
    return (date << 16) | time;
}

TEST(CBigRate, ZeroTotalGivesZero) { EXPECT_EQ(CBigRate(0, 5), 0); }

TEST(CBigRate, CapsAtHundred) { EXPECT_EQ(CBigRate(200, 201), 100); }

TEST(CBigRate, HalvesRoundToEven) {
    EXPECT_EQ(CBigRate(200, 101), 50);  // 50.5
    EXPECT_EQ(CBigRate(200, 103), 52);  // 51.5
    EXPECT_EQ(CBigRate(3, 1), 33);
    EXPECT_EQ(CBigRate(3, 2), 67);
}

TEST(CBigRate, HugeSizesDoNotOverflow) {
    const int64_t big = int64_t{1} << 62;
    EXPECT_EQ(CBigRate(big, big / 2), 50);
}

TEST(GoodTimeStamp, ValidValueIsReturnedBitForBit) {
    const uint32_t v = Dos(2004, 7, 15, 13, 45, 30);
    EXPECT_EQ(GoodTimeStamp(v), v);
}

TEST(GoodTimeStamp, ClampsHourAndMonthOnly) {
    const uint32_t bad =
        (((2004u - 1980u) << 9 | 0u << 5 | 15u) << 16) | (24u << 11 | 45u << 5 | 15u);
    EXPECT_EQ(GoodTimeStamp(bad), Dos(2004, 1, 15, 23, 45, 30));
}

TEST(GoodTimeStamp, RepairsMonthThirteenAndZeroDay) {
    const uint32_t bad =
        (((1999u - 1980u) << 9 | 13u << 5 | 0u) << 16) | (10u << 11 | 61u << 5 | 31u);
    EXPECT_EQ(GoodTimeStamp(bad), Dos(1999, 12, 1, 10, 59, 58));
}

TEST(PathHelpers, SeparatorsAndTrailingSlash) {
    EXPECT_EQ(DOSToUnixFilename("a\\b\\c"), "a/b/c");
    EXPECT_EQ(UnixToDOSFilename("a/b/c"), "a\\b\\c");
    EXPECT_EQ(StripBackSlash("a\\b\\"), "a\\b");
    EXPECT_EQ(StripBackSlash("a\\b\\\\"), "a\\b\\");
    EXPECT_EQ(StripBackSlash("a/"), "a");
    EXPECT_EQ(DriveRoot("c:\\x\\y.zip"), "C:\\");
    EXPECT_EQ(DriveRoot("a:"), "A:");
}

TEST(ForceCreateDirectories, CreatesParentsAndLeavesExistingAlone) {
    TempDir tmp;
    const std::string target = tmp.Path() + "a\\b\\";
    ForceCreateDirectories(target);
    EXPECT_TRUE(DirExists(tmp.Path() + "a"));
    EXPECT_TRUE(DirExists(tmp.Path() + "a/b"));
    tmp.WriteFile("a/b/keep.txt", "x");
    ForceCreateDirectories(tmp.Path() + "a/b");
    EXPECT_TRUE(FileExists(tmp.Path() + "a/b/keep.txt"));
    EXPECT_FALSE(FileExists(tmp.Path() + "a/b"));
    EXPECT_FALSE(DirExists(tmp.Path() + "a/b/keep.txt"));
}

TEST(DriveQueries, HonestDefaultsWithoutDriveLetters) {
    EXPECT_FALSE(isDriveRemovable("A:\\"));
    EXPECT_FALSE(GetVolumeLabel("A:\\").has_value());
}

}  // namespace

namespace {

TEST(SetForScope, GivesTheValueForTheScopeAndRestoresItAlsoOnAnException) {
    int setting = 1;
    {
        const auto guard = SetForScope(setting, 2);
        EXPECT_EQ(setting, 2);
    }
    EXPECT_EQ(setting, 1);
    EXPECT_THROW(
        {
            const auto guard = SetForScope(setting, 3);
            throw std::runtime_error("fails");
        },
        std::runtime_error);
    EXPECT_EQ(setting, 1);
}

}  // namespace
