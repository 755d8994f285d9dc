#include <gtest/gtest.h>

#include "CommandLine.h"

using TAction = TCommandLine::TAction;

TEST(CommandLine, DefaultsToLoopbackAndTheUpdatePort) {
    const TCommandLine parsed = ParseCommandLine({"--package", "p.zip"});
    ASSERT_EQ(parsed.action, TAction::Run);
    EXPECT_EQ(parsed.settings.bindAddress, "127.0.0.1");
    EXPECT_EQ(parsed.settings.port, 10290);
    EXPECT_EQ(parsed.settings.packagePath, "p.zip");
    EXPECT_FALSE(parsed.settings.once);
}

TEST(CommandLine, TakesEveryOption) {
    const TCommandLine parsed =
        ParseCommandLine({"--bind", "0.0.0.0", "--port", "0", "--once", "--package", "x"});
    ASSERT_EQ(parsed.action, TAction::Run);
    EXPECT_EQ(parsed.settings.bindAddress, "0.0.0.0");
    EXPECT_EQ(parsed.settings.port, 0);
    EXPECT_TRUE(parsed.settings.once);
    EXPECT_EQ(ParseCommandLine({"--package", "x", "--help"}).action, TAction::Help);
}

TEST(CommandLine, RejectsBadInput) {
    EXPECT_EQ(ParseCommandLine({}).action, TAction::Error);  // no package
    EXPECT_EQ(ParseCommandLine({"--package"}).action, TAction::Error);
    EXPECT_EQ(ParseCommandLine({"--package", "x", "--verbose"}).action, TAction::Error);
    for (const char* port : {"65536", "-1", "80a", "", "0x10"}) {
        EXPECT_EQ(ParseCommandLine({"--package", "x", "--port", port}).action, TAction::Error)
            << port;
    }
}
