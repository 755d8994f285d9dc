#include <gtest/gtest.h>

#include <stdexcept>

#include "RecordingHooks.h"
#include "platform/Exception.h"
#include "platform/ExceptionDisplay.h"

TEST(ApplicationTitle, CutsAtFirstDotAndLowersAfterTheFirstLetter) {
    EXPECT_EQ(ApplicationTitle("/opt/zuvo/zuvo-updater"), "zuvo-updater");
    EXPECT_EQ(ApplicationTitle("/opt/zuvo/UpDater.Main.exe"), "Updater");
    EXPECT_EQ(ApplicationTitle("ZUVO"), "Zuvo");
    EXPECT_EQ(ApplicationTitle("C:\\Program Files\\Zuvo\\ZuvoUpdate.exe"), "Zuvoupdate");
}

TEST(ExceptionDisplayText, FullStopRuleComparesTheLastCharacterBytes) {
    EXPECT_EQ(ExceptionDisplayText("配置文件不存在！"), "配置文件不存在！.");
    EXPECT_EQ(ExceptionDisplayText("'abc' is not a valid integer value"),
              "'abc' is not a valid integer value.");
    EXPECT_EQ(ExceptionDisplayText("Done."), "Done.");
    EXPECT_EQ(ExceptionDisplayText("Stop!"), "Stop!");
    EXPECT_EQ(ExceptionDisplayText("a-"), "a-");
    EXPECT_EQ(ExceptionDisplayText("a/"), "a/.");
    EXPECT_EQ(ExceptionDisplayText(""), "");
}

TEST(ShowException, UsesTheErrorIconAndEmptyTextForForeignExceptions) {
    RecordingHooks hooks;
    ShowException(Exception("boom"));
    ShowException(std::runtime_error("not ours"));
    ASSERT_EQ(hooks.Boxes().size(), 2u);
    EXPECT_EQ(hooks.Boxes()[0].text, "boom.");
    EXPECT_EQ(hooks.Boxes()[0].flags, MB_OK | MB_ICONERROR);
    EXPECT_EQ(hooks.Boxes()[1].text, "");
}
