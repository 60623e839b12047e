#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/os/SettingsStore.h"
#include "support/TempDir.h"

TEST(SettingsStore, ValuesSurviveAnAtomicWriteWithEveryByteOfAString) {
    TempDir dir;
    std::string path = dir / "deep/folder/Zembla.conf";
    SettingsKey key;
    EXPECT_FALSE(key.Open(path));  // no file: a key that cannot be opened
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
    EXPECT_FALSE(reread.QueryDword("Text", number));  // a string is no number

    // A temporary file that cannot be made leaves the old file as it was.
    std::string before = ReadWholeFile(path);
    std::filesystem::create_directory(path + ".tmp." + std::to_string(getpid()));
    key.SetDword("Number", 2);
    EXPECT_FALSE(key.Commit());
    EXPECT_EQ(ReadWholeFile(path), before);

    WriteWholeFile(dir / "blocker", "x");
    EXPECT_FALSE(key.Create(dir / "blocker/Zembla.conf"));
}

TEST(SettingsStore, TwoProgramsSavingAtOnceBothSucceedAndLeaveOneWholeFile) {
    TempDir dir;
    const std::string path = dir / "Zembla.conf";
    pid_t children[2];
    for (int n = 0; n < 2; ++n) {
        children[n] = fork();
        ASSERT_GE(children[n], 0);
        if (children[n] == 0) {
            SettingsKey key;
            bool ok = key.Create(path);
            for (int i = 0; ok && i < 300; ++i) {
                key.SetString("Writer", std::string(1000, static_cast<char>('a' + n)));
                ok = key.Commit();
            }
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    SettingsKey reread;
    ASSERT_TRUE(reread.Open(path));
    std::string text;
    ASSERT_TRUE(reread.QueryString("Writer", text));
    EXPECT_TRUE(text == std::string(1000, 'a') || text == std::string(1000, 'b'));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(SettingsStore, DamagedLinesAreSkippedAndTheRestIsRead) {
    SettingsKey key;
    key.Parse(
        "# comment\nGood=dword:12\nNoEquals\n=dword:3\nNegative=dword:-1\n"
        "Overflow=dword:4294967296\nTrailing=dword:12abc\nUnknown=float:1.5\n"
        "Open=string:\"no end\nBadEscape=string:\"\\q\"\nShortHex=string:\"\\x4\"\n"
        "Inner=string:\"a\"b\"\n  Spaced  =  dword:5  \r\nLater=dword:1\nLater=dword:2\n");
    uint32_t number = 0;
    std::string text;
    for (const char* name : {"NoEquals", "Negative", "Overflow", "Trailing", "Unknown"})
        EXPECT_FALSE(key.QueryDword(name, number)) << name;
    for (const char* name : {"Open", "BadEscape", "ShortHex", "Inner"})
        EXPECT_FALSE(key.QueryString(name, text)) << name;
    EXPECT_TRUE(key.QueryDword("Good", number) && number == 12);
    EXPECT_TRUE(key.QueryDword("Spaced", number) && number == 5);
    EXPECT_TRUE(key.QueryDword("Later", number) && number == 2);
}

TEST(SettingsStore, DefaultPathFollowsTheConfigurationFolderOrHome) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    std::string xdg = saved ? saved : "";
    std::string home = std::getenv("HOME");
    setenv("XDG_CONFIG_HOME", "/somewhere", 1);
    EXPECT_EQ(SettingsKey::DefaultPath(), "/somewhere/Torvane/Zembla.conf");
    setenv("XDG_CONFIG_HOME", "relative/path", 1);  // not absolute: ignored
    EXPECT_EQ(SettingsKey::DefaultPath(), home + "/.config/Torvane/Zembla.conf");
    setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
}
