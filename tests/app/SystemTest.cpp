#include <gtest/gtest.h>

#include "RecordingHooks.h"
#include "TempDir.h"
#include "platform/Exception.h"
#include "workflow/System.h"

namespace {

// Creates the data module over a program directory whose config.ini holds
// `ini` (or no config.ini at all), recording the boxes it shows.
struct Created {
    int32_t interval;
    std::vector<RecordingHooks::Box> boxes;
};

Created CreateWith(const std::string* ini) {
    TempDir dir;
    if (ini) {
        dir.WriteFile("config.ini", *ini);
    }
    RecordingHooks hooks;
    TdmSystem module(dir.Path());
    return {module.RefreshInterval, hooks.Boxes()};
}

Created CreateWithValue(const std::string& line) {
    const std::string ini = "[OprationInfo]\r\n" + line + "\r\n";
    return CreateWith(&ini);
}

}  // namespace

TEST(RefreshInterval, AbsentEmptyOrSectionMissingGivesFive) {
    EXPECT_EQ(CreateWithValue("Other=1").interval, 5);
    EXPECT_EQ(CreateWithValue("RefreshInterval=").interval, 5);
    const std::string otherSection = "[Else]\nRefreshInterval=17\n";
    EXPECT_EQ(CreateWith(&otherSection).interval, 5);
    const std::string empty;
    EXPECT_EQ(CreateWith(&empty).interval, 5);
}

TEST(RefreshInterval, ClampsToFiveThroughThirty) {
    const std::pair<const char*, int> cases[] = {{"3", 5},   {"5", 5},       {"17", 17},
                                                 {"30", 30}, {"31", 30},     {"1000", 30},
                                                 {"-4", 5},  {"  12  ", 12}, {"$1E", 30}};
    for (const auto& [text, expected] : cases) {
        const auto created = CreateWithValue(std::string("RefreshInterval=") + text);
        EXPECT_EQ(created.interval, expected) << text;
        EXPECT_TRUE(created.boxes.empty()) << text;
    }
}

TEST(RefreshInterval, OtherLetterCasesAreFound) {
    const std::string ini = "[oprationinfo]\nrefreshinterval=9\n";
    EXPECT_EQ(CreateWith(&ini).interval, 9);
}

TEST(RefreshInterval, NonIntegerShowsTheConversionErrorAndKeepsFive) {
    const auto created = CreateWithValue("RefreshInterval=abc");
    EXPECT_EQ(created.interval, 5);
    ASSERT_EQ(created.boxes.size(), 1u);
    EXPECT_EQ(created.boxes[0].text, "'abc' is not a valid integer value.");
    EXPECT_EQ(created.boxes[0].flags, MB_OK | MB_ICONERROR);
    EXPECT_EQ(created.boxes[0].caption, "app_tests");
}

TEST(RefreshInterval, MissingFileShowsTheChineseTextWithAFullStopAndKeepsZero) {
    const auto created = CreateWith(nullptr);
    EXPECT_EQ(created.interval, 0);
    ASSERT_EQ(created.boxes.size(), 1u);
    EXPECT_EQ(created.boxes[0].text, "配置文件不存在！.");
}

TEST(ReadConfigValue, RaisesWithoutTheFile) {
    TempDir dir;
    dir.WriteFile("config.ini", "[A]\nb=c\n");
    RecordingHooks hooks;
    TdmSystem module(dir.Path());
    EXPECT_EQ(module.ReadConfigValue("a", "B"), "c");
    TempDir empty;
    TdmSystem without(empty.Path());
    EXPECT_THROW(without.ReadConfigValue("A", "b"), Exception);
}
