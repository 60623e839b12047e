#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/SettingsStore.h"
#include "support/TempDir.h"

TEST(SettingsStore, ValuesSurviveAWriteAndReadBackWithEveryByteOfAString) {
    TempDir dir;
    std::string path = dir / "deep/folder/Zembla.conf";
    SettingsKey key;
    ASSERT_TRUE(key.Create(path));
    std::string awkward = "quote\" back\\slash \x01\x7f\xff end";
    key.SetString("Text", awkward);
    key.SetDword("Number", 4294967295u);
    key.SetDword("number", 7);  // the same value, another spelling
    ASSERT_TRUE(key.Commit());

    SettingsKey reread;
    ASSERT_TRUE(reread.Open(path));
    std::string text;
    uint32_t number = 0;
    EXPECT_TRUE(reread.QueryString("TEXT", text));
    EXPECT_EQ(text, awkward);
    EXPECT_TRUE(reread.QueryDword("NUMBER", number));
    EXPECT_EQ(number, 7u);
    // A value of the other type is not readable as this one.
    EXPECT_FALSE(reread.QueryDword("Text", number));
    EXPECT_FALSE(reread.QueryString("Number", text));
    EXPECT_FALSE(reread.QueryDword("Missing", number));
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(SettingsStore, AMissingFileIsAKeyThatCannotBeOpened) {
    TempDir dir;
    SettingsKey key;
    EXPECT_FALSE(key.Open(dir / "absent.conf"));
    EXPECT_FALSE(key.Open(dir.Path()));  // a folder is no settings file
}

TEST(SettingsStore, DamagedLinesAreSkippedAndTheRestIsRead) {
    SettingsKey key;
    key.Parse(
        "# comment\n"
        "Good=dword:12\n"
        "NoEquals\n"
        "=dword:3\n"
        "Negative=dword:-1\n"
        "Overflow=dword:4294967296\n"
        "Trailing=dword:12abc\n"
        "Unknown=float:1.5\n"
        "Open=string:\"no end\n"
        "BadEscape=string:\"\\q\"\n"
        "ShortHex=string:\"\\x4\"\n"
        "Inner=string:\"a\"b\"\n"
        "  Spaced  =  dword:5  \r\n"
        "Later=dword:1\nLater=dword:2\n");
    uint32_t number = 0;
    std::string text;
    EXPECT_TRUE(key.QueryDword("Good", number));
    EXPECT_EQ(number, 12u);
    for (const char* name : {"NoEquals", "Negative", "Overflow", "Trailing", "Unknown"})
        EXPECT_FALSE(key.QueryDword(name, number)) << name;
    for (const char* name : {"Open", "BadEscape", "ShortHex", "Inner"})
        EXPECT_FALSE(key.QueryString(name, text)) << name;
    EXPECT_TRUE(key.QueryDword("Spaced", number));
    EXPECT_EQ(number, 5u);
    EXPECT_TRUE(key.QueryDword("Later", number));
    EXPECT_EQ(number, 2u);
}

TEST(SettingsStore, CommitReplacesTheFileWholeOrNotAtAll) {
    TempDir dir;
    std::string path = dir / "Zembla.conf";
    SettingsKey key;
    ASSERT_TRUE(key.Create(path));
    key.SetDword("Value", 1);
    ASSERT_TRUE(key.Commit());
    std::string before = ReadWholeFile(path);

    // The temporary file cannot be made: the old file stays as it was.
    std::filesystem::create_directory(path + ".tmp");
    key.SetDword("Value", 2);
    EXPECT_FALSE(key.Commit());
    EXPECT_EQ(ReadWholeFile(path), before);
}

TEST(SettingsStore, CreateFailsWhenTheFolderCannotExist) {
    TempDir dir;
    WriteWholeFile(dir / "blocker", "x");
    SettingsKey key;
    EXPECT_FALSE(key.Create(dir / "blocker/Zembla.conf"));
}

TEST(SettingsStore, DefaultPathFollowsTheConfigurationFolderOrHome) {
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    std::string xdg = savedXdg ? savedXdg : "";
    setenv("XDG_CONFIG_HOME", "/somewhere", 1);
    EXPECT_EQ(SettingsKey::DefaultPath(), "/somewhere/Torvane/Zembla.conf");
    unsetenv("XDG_CONFIG_HOME");
    std::string home = std::getenv("HOME");
    EXPECT_EQ(SettingsKey::DefaultPath(), home + "/.config/Torvane/Zembla.conf");
    setenv("XDG_CONFIG_HOME", "relative/path", 1);  // not absolute: ignored
    EXPECT_EQ(SettingsKey::DefaultPath(), home + "/.config/Torvane/Zembla.conf");
    setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
}
