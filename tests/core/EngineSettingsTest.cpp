#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <list>

#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "platform/SettingsStore.h"
#include "soundcard/SoundCard.h"
#include "support/EngineFixture.h"
#include "support/TempDir.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class EngineSettings : public EngineTest {
  protected:
    void WriteSettings(const std::string& content) {
        std::filesystem::create_directories(PathIn(".config/Torvane"));
        WriteWholeFile(SettingsPath(), content);
    }
    SettingsKey Stored() {
        SettingsKey key;
        EXPECT_TRUE(key.Open(SettingsPath()));
        return key;
    }
    uint32_t StoredNumber(const char* name) {
        uint32_t value = 0xDEADBEEF;
        EXPECT_TRUE(Stored().QueryDword(name, value)) << name;
        return value;
    }
    // Settings the engine runs with, as the settings dialog would read them.
    struct Effective {
        long Rate;
        int Count, Size, Cache;
        int Lag;
        size_t Cards;
    };
    Effective Current() {
        Effective e{Mixer->GetSampleRate(), 0, 0, 0, SoundCard::GetLagTime(), 0};
        Mixer->GetBufferInfo(e.Count, e.Size, e.Cache);
        std::list<std::string> cards;
        Mixer->GetActiveSoundcards(cards);
        e.Cards = cards.size();
        return e;
    }
    void ExpectDefaults() {
        Effective e = Current();
        EXPECT_EQ(e.Rate, 44100);
        EXPECT_EQ(e.Size, 2048);
        EXPECT_EQ(e.Count, 4);
        EXPECT_EQ(e.Cache, 0);
        EXPECT_EQ(e.Lag, 0);
        EXPECT_EQ(e.Cards, 0u);
    }
};

}  // namespace

TEST_F(EngineSettings, FirstStartUsesDefaultsQueuesOneQuietErrorAndSavingCreatesTheKey) {
    EXPECT_EQ(CacheSize, 2048 * 100);  // the load-time value, before any settings
    Mixer->ReadSettings();
    ExpectDefaults();
    OrvellError queued;
    ASSERT_TRUE(Mixer->GetLastError(queued));
    EXPECT_FALSE(queued.NotifyUser);
    EXPECT_FALSE(Mixer->GetLastError(queued));

    EXPECT_FALSE(FileExists(SettingsPath()));
    Mixer->SaveSettings();
    EXPECT_EQ(StoredNumber("Samplerate"), 44100u);
    EXPECT_EQ(StoredNumber("BuffSize"), 2048u);
    EXPECT_EQ(StoredNumber("BuffCount"), 4u);
    EXPECT_EQ(StoredNumber("CacheSize"), 0u);
    EXPECT_EQ(StoredNumber("LagTime"), 0u);
    std::string cards = "x";
    EXPECT_TRUE(Stored().QueryString("Soundcards", cards));
    EXPECT_EQ(cards, "");
}

TEST_F(EngineSettings, RoundTripKeepsEverySettingWithItsStoredUnits) {
    Mixer->ReadSettings();
    Mixer->SetSampleRate(48000);
    Mixer->SetBufferInfo(6, 3000, 1000000);  // size rounds down to 2048 frames
    SoundCard::SetLagTime(-512);
    ASSERT_EQ(Mixer->AddCard(3), 1);
    ASSERT_EQ(Mixer->AddCard(1), 1);
    Mixer->SaveSettings();

    // Written under the names and in the units the key has always used.
    std::string file = ReadWholeFile(SettingsPath());
    EXPECT_THAT(file, HasSubstr("Samplerate=dword:48000"));
    EXPECT_EQ(StoredNumber("CacheSize"), 976u);  // kilobytes, truncated
    EXPECT_EQ(StoredNumber("BuffSize"), 2048u);
    EXPECT_EQ(StoredNumber("LagTime"), static_cast<uint32_t>(-512));

    ReplaceEngine();  // the old engine's shutdown saves once more, with the same values
    Mixer->ReadSettings();
    Effective e = Current();
    EXPECT_EQ(e.Rate, 48000);
    EXPECT_EQ(e.Size, 2048);
    EXPECT_EQ(e.Count, 6);
    EXPECT_EQ(e.Cache, 976 * 1024);
    EXPECT_EQ(e.Lag, -512);
    std::list<std::string> cards;
    Mixer->GetActiveSoundcards(cards);
    EXPECT_THAT(cards, ElementsAre("0: Virtual card 3", "1: Virtual card 1"));
    OrvellError none;
    EXPECT_FALSE(Mixer->GetLastError(none));
}

TEST_F(EngineSettings, StoredBufferSizeIsTakenUnroundedButSetBufferInfoRounds) {
    WriteSettings("BuffSize=dword:3000\n");
    Mixer->ReadSettings();
    EXPECT_EQ(BufferSize, 3000u);
    Mixer->SetBufferInfo(4, 3000, 0);
    EXPECT_EQ(BufferSize, 2048u);
}

TEST_F(EngineSettings, CardListOpensEachDeviceAndNumbersThemByListPosition) {
    WriteSettings("Soundcards=string:\"02\"\n");
    Mixer->ReadSettings();
    std::list<std::string> cards;
    Mixer->GetActiveSoundcards(cards);
    EXPECT_THAT(cards, ElementsAre("0: Virtual card 0", "1: Virtual card 2"));
    EXPECT_EQ(Mixer->GetSoundcard(1)->DeviceId, 2);
    EXPECT_EQ(SoundCard::Antal, 2);
}

TEST_F(EngineSettings, AMissingDeviceInTheCardListStopsReadingWithTheDeviceError) {
    WriteSettings("Soundcards=string:\"19\"\n");
    try {
        Mixer->ReadSettings();
        FAIL() << "expected the device error";
    } catch (const OrvellError& error) {
        EXPECT_EQ(error.Message, "The specified device ID is out of range.\nDevice: ");
    }
    // Device 1 opened before the failure stays open.
    std::list<std::string> cards;
    Mixer->GetActiveSoundcards(cards);
    EXPECT_THAT(cards, ElementsAre("0: Virtual card 1"));
}

TEST_F(EngineSettings, DamagedSettingsFilesGiveDefaultsForWhatCannotBeRead) {
    const std::string damaged[] = {
        "",
        "\x01\x02garbage\xff\xfe\n=\n==\nSampleRate\n",
        "Samplerate=dword:4410",  // cut off mid-number, but still a whole valid line
        "Samplerate=dword:\nBuffSize=string:\"2048\nBuffCount=dword:-3\nCacheSize=dword:"
        "99999999999\n",
        "Samplerate=dword:0\nBuffSize=dword:0\nBuffCount=dword:0\nCacheSize=dword:4294967295\n",
        "Soundcards=string:\"0\n",
        "Soundcards=dword:2\nLagTime=string:\"x\"\n",
    };
    for (const std::string& content : damaged) {
        SCOPED_TRACE(content);
        ReplaceEngine();
        WriteSettings(content);
        Mixer->ReadSettings();
        Effective e = Current();
        if (content == "Samplerate=dword:4410") {
            EXPECT_EQ(e.Rate, 4410);  // a whole line that parses is taken
        } else {
            ExpectDefaults();
        }
        OrvellError none;
        EXPECT_FALSE(Mixer->GetLastError(none)) << "the key exists, so nothing is queued";
    }
}

TEST_F(EngineSettings, ValueNamesAreMatchedWithoutRegardToCase) {
    WriteSettings("SAMPLERATE=dword:22050\nbuffcount=dword:8\n");
    Mixer->ReadSettings();
    EXPECT_EQ(Mixer->GetSampleRate(), 22050);
    int count = 0, size = 0, cache = 0;
    Mixer->GetBufferInfo(count, size, cache);
    EXPECT_EQ(count, 8);
    Mixer->SaveSettings();
    // Rewritten in place, not duplicated under another spelling.
    std::string file = ReadWholeFile(SettingsPath());
    EXPECT_EQ(file.find("dword:22050"), file.rfind("dword:22050"));
}

TEST_F(EngineSettings, AnUnwritableSettingsFolderIsReported) {
    std::filesystem::create_directories(PathIn(".config"));
    WriteWholeFile(PathIn(".config/Torvane"), "a file where the folder should be");
    try {
        Mixer->SaveSettings();
        FAIL() << "expected an error";
    } catch (const OrvellError& error) {
        EXPECT_EQ(error.Message, "Can't write settings to registry.");
    }
}

TEST_F(EngineSettings, TerminateSavesOnceAndAFailedSaveKeepsTheCardsOpen) {
    Mixer->ReadSettings();
    ASSERT_EQ(Mixer->AddCard(0), 1);

    // A failed save leaves the engine running: cards stay, and Terminate can be tried again.
    std::filesystem::create_directories(PathIn(".config"));
    WriteWholeFile(PathIn(".config/Torvane"), "blocked");
    EXPECT_THROW(Mixer->Terminate(), OrvellError);
    EXPECT_NE(Mixer->GetSoundcard(0), nullptr);

    std::filesystem::remove(PathIn(".config/Torvane"));
    Mixer->Terminate();
    EXPECT_EQ(Mixer->GetSoundcard(0), nullptr);
    EXPECT_EQ(SoundCard::Antal, 0);
    EXPECT_EQ(StoredNumber("BuffCount"), 4u);

    // Neither a second Terminate nor deleting the engine writes again.
    std::filesystem::remove(SettingsPath());
    Mixer->Terminate();
    ReplaceEngine();
    EXPECT_FALSE(FileExists(SettingsPath()));
}

TEST_F(EngineSettings, AnEngineWhoseSettingsWereNeverReadDoesNotOverwriteThem) {
    WriteSettings("Soundcards=string:\"1\"\nSamplerate=dword:96000\n");
    ReplaceEngine();  // the old engine shuts down without having read anything
    ReplaceEngine();
    EXPECT_EQ(StoredNumber("Samplerate"), 96000u);
}
