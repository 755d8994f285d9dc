#include <gtest/gtest.h>

#include "TempDir.h"
#include "platform/IniFile.h"

namespace {

std::string Read(const std::string& path, const std::string& section, const std::string& key) {
    return GetPrivateProfileString(section, key, "", 2047, path);
}

}  // namespace

TEST(IniFile, MatchesSectionAndKeyWithoutCaseAndTrimsTheValue) {
    TempDir dir;
    const auto path =
        dir.WriteFile("a.ini",
                      "; comment\r\n[Other]\r\nKey=other\r\n"
                      "[ oprationinfo ]\r\n refreshinterval =  12  \r\nKey=\"q\"\r\n");
    EXPECT_EQ(Read(path, "OprationInfo", "RefreshInterval"), "12");
    EXPECT_EQ(Read(path, "OPRATIONINFO", "key"), "q");
    EXPECT_EQ(Read(path, "Other", "Key"), "other");
}

TEST(IniFile, AbsentSectionKeyOrFileGivesTheDefault) {
    TempDir dir;
    const auto path = dir.WriteFile("a.ini", "[A]\nx=1\n");
    EXPECT_EQ(GetPrivateProfileString("B", "x", "dflt", 2047, path), "dflt");
    EXPECT_EQ(GetPrivateProfileString("A", "y", "dflt", 2047, path), "dflt");
    EXPECT_EQ(GetPrivateProfileString("A", "x", "dflt", 2047, dir.Path() + "none.ini"), "dflt");
}

TEST(IniFile, LongValuesAreCut) {
    TempDir dir;
    const auto path = dir.WriteFile("a.ini", "[A]\nx=" + std::string(3000, 'v') + "\n");
    EXPECT_EQ(Read(path, "A", "x").size(), 2047u);
}
