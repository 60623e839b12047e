#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <list>

#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "platform/os/SettingsStore.h"
#include "soundcard/SoundCard.h"
#include "support/EngineFixture.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"
#include "tracks/TrackTestSupport.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class EngineSettings : public EngineTest {
  protected:
    void WriteSettings(const std::string& content) {
        std::filesystem::create_directories(PathIn(".config/Torvane"));
        WriteWholeFile(SettingsPath(), content);
    }
    uint32_t Stored(const char* name) {
        SettingsKey key;
        uint32_t value = 0xDEADBEEF;
        EXPECT_TRUE(key.Open(SettingsPath()) && key.QueryDword(name, value)) << name;
        return value;
    }
    void BlockSettingsFolder() {
        std::filesystem::create_directories(PathIn(".config"));
        WriteWholeFile(PathIn(".config/Torvane"), "a file where the folder should be");
    }
    // rate, buffer count, size, cache, lag, cards: what the settings dialog would show.
    std::string Effective() {
        int count = 0, size = 0, cache = 0;
        Mixer->GetBufferInfo(count, size, cache);
        std::list<std::string> cards;
        Mixer->GetActiveSoundcards(cards);
        std::string text = std::to_string(Mixer->GetSampleRate()) + " " + std::to_string(count) +
                           "x" + std::to_string(size) + " cache " + std::to_string(cache) +
                           " lag " + std::to_string(SoundCard::GetLagTime());
        for (const std::string& card : cards)
            text += " [" + card + "]";
        return text;
    }
    static constexpr const char* Defaults = "44100 4x2048 cache 0 lag 0";
};

}  // namespace

TEST_F(EngineSettings, FirstStartUsesDefaultsQueuesOneQuietErrorAndSavingCreatesTheKey) {
    EXPECT_EQ(CacheSize, 2048 * 100);  // the load-time value, before any settings
    OrvellError untouched("untouched");
    EXPECT_FALSE(Mixer->GetLastError(untouched));
    EXPECT_EQ(untouched.Message, "untouched");

    Mixer->ReadSettings();
    EXPECT_EQ(Effective(), Defaults);
    DisplayedError queued("placeholder");
    ASSERT_TRUE(Mixer->GetLastError(queued));
    EXPECT_EQ(queued.Message, "Can't read settings from registry. Maybe first time started...");
    EXPECT_FALSE(Mixer->GetLastError(queued));
    RecordingUserInterface ui;
    EXPECT_FALSE(queued.Notify());
    EXPECT_TRUE(ui.Messages.empty());
    EXPECT_EQ(LogLines().back(), queued.Message);  // the drained queue element logged itself

    EXPECT_FALSE(FileExists(SettingsPath()));
    Mixer->SaveSettings();
    EXPECT_EQ(ReadWholeFile(SettingsPath()),
              "# Zembla settings\nSamplerate=dword:44100\nBuffSize=dword:2048\n"
              "BuffCount=dword:4\nCacheSize=dword:0\nLagTime=dword:0\nSoundcards=string:\"\"\n");
}

TEST_F(EngineSettings, RoundTripKeepsEverySettingWithItsStoredUnits) {
    Mixer->ReadSettings();
    Mixer->SetSampleRate(48000);
    Mixer->SetBufferInfo(6, 3000, 1000000);  // size rounds down to 2048 frames
    SoundCard::SetLagTime(-512);
    ASSERT_EQ(Mixer->AddCard(3), 1);
    ASSERT_EQ(Mixer->AddCard(1), 1);
    Mixer->SaveSettings();
    EXPECT_THAT(ReadWholeFile(SettingsPath()), HasSubstr("Samplerate=dword:48000"));
    EXPECT_EQ(Stored("CacheSize"), 976u);  // kilobytes, truncated
    EXPECT_EQ(Stored("LagTime"), static_cast<uint32_t>(-512));

    ReplaceEngine();  // the old engine's shutdown saves once more, with the same values
    Mixer->ReadSettings();
    EXPECT_EQ(Effective(),
              "48000 6x2048 cache 999424 lag -512 [0: Virtual card 3] [1: Virtual card 1]");
    OrvellError none;
    EXPECT_FALSE(Mixer->GetLastError(none));
}

TEST_F(EngineSettings, StoredBufferSizeIsTakenUnroundedButSetBufferInfoRounds) {
    WriteSettings("BuffSize=dword:3000\n");
    Mixer->ReadSettings();
    EXPECT_EQ(BufferSize, 3000u);
    Mixer->SetBufferInfo(4, 3000, 0);
    EXPECT_EQ(BufferSize, 2048u);

    // A size whose card buffers would hold under 1024 bytes could never play.
    WriteSettings("BuffSize=dword:200\n");
    Mixer->ReadSettings();
    EXPECT_EQ(BufferSize, 2048u);
    EXPECT_THAT(LogLines(), ::testing::Contains("Ignoring setting BuffSize = 200: out of range"));
}

// Every path that changes the buffer size makes the mixing block, the scratch block and the
// cards' buffers fit it, also for tracks and cards that existed before.
TEST_F(EngineSettings, ReadingALargerBufferSizeGrowsWhatTheTracksAndCardsMixInto) {
    WriteSettings("Soundcards=string:\"0\"\n");
    Mixer->ReadSettings();
    Channel* first = Mixer->AddChannel();
    WriteTrackAudio(first, "channel0_", true, true, 0, ConstantStereo16(100, -100, 3 * 8192));
    WriteSettings("BuffSize=dword:8192\nSoundcards=string:\"0\"\n");
    Mixer->ReadSettings();
    Mixer->AddChannel();
    SoundCard* card = Mixer->GetSoundcard(0);
    EXPECT_EQ(card->OutputBuffer(0).Length(), 8192u * 4);
    MixPos = 0;
    FirstBuffer = true;
    const std::vector<int16_t> mixed = MixPass({card}, 2)[0];  // AddressSanitizer checks bounds
    EXPECT_EQ(mixed[2 * 8192 - 1], -100);
}

TEST_F(EngineSettings, TheCardListOpensEachDeviceAndAMissingOneStopsTheList) {
    WriteSettings("Soundcards=string:\"02\"\n");
    Mixer->ReadSettings();
    EXPECT_THAT(Effective(), HasSubstr("[0: Virtual card 0] [1: Virtual card 2]"));
    EXPECT_EQ(Mixer->GetSoundcard(1)->DeviceId, 2);

    WriteSettings("Soundcards=string:\"19\"\n");
    try {
        Mixer->ReadSettings();
        FAIL() << "expected the device error";
    } catch (const OrvellError& error) {
        EXPECT_EQ(error.Message, "The specified device ID is out of range.\nDevice: ");
    }
    EXPECT_THAT(Effective(), HasSubstr("lag 0 [0: Virtual card 1]"));  // opened before it
}

TEST_F(EngineSettings, DamagedSettingsFilesGiveDefaultsForWhatCannotBeRead) {
    const std::string damaged[] = {
        "",
        "\x01\x02garbage\xff\xfe\n=\n==\nSampleRate\n",
        "Samplerate=dword:\nBuffSize=string:\"2048\nBuffCount=dword:-3\n"
        "CacheSize=dword:99999999999\n",
        "Samplerate=dword:0\nBuffSize=dword:0\nBuffCount=dword:0\nCacheSize=dword:4294967295\n",
        "Soundcards=string:\"0\nSoundcards=dword:2\nLagTime=string:\"x\"\n",
    };
    for (const std::string& content : damaged) {
        SCOPED_TRACE(content);
        ReplaceEngine();
        WriteSettings(content);
        Mixer->ReadSettings();
        EXPECT_EQ(Effective(), Defaults);
        OrvellError none;
        EXPECT_FALSE(Mixer->GetLastError(none)) << "the key exists, so nothing is queued";
    }
    // A line cut off mid-number that still parses is taken; names match without case.
    ReplaceEngine();
    WriteSettings("SAMPLERATE=dword:4410\nbuffcount=dword:8");
    Mixer->ReadSettings();
    EXPECT_EQ(Effective(), "4410 8x2048 cache 0 lag 0");
}

TEST_F(EngineSettings, TerminateSavesOnceAndAFailedSaveKeepsTheEngineRunning) {
    BlockSettingsFolder();
    try {
        Mixer->SaveSettings();
        FAIL() << "expected an error";
    } catch (const OrvellError& error) {
        EXPECT_EQ(error.Message, "Can't write settings to registry.");
    }
    Mixer->ReadSettings();
    ASSERT_EQ(Mixer->AddCard(0), 1);
    EXPECT_THROW(Mixer->Terminate(), OrvellError);
    EXPECT_NE(Mixer->GetSoundcard(0), nullptr);  // cards stay; Terminate can be tried again

    std::filesystem::remove(PathIn(".config/Torvane"));
    Mixer->Terminate();
    EXPECT_EQ(Mixer->GetSoundcard(0), nullptr);
    EXPECT_EQ(SoundCard::Antal, 0);
    EXPECT_EQ(Stored("BuffCount"), 4u);

    // Neither a second Terminate nor deleting the engine writes again.
    std::filesystem::remove(SettingsPath());
    Mixer->Terminate();
    ReplaceEngine();
    EXPECT_FALSE(FileExists(SettingsPath()));
}

TEST_F(EngineSettings, AnEngineWhoseSettingsWereNeverReadDoesNotOverwriteThem) {
    WriteSettings("Soundcards=string:\"1\"\nSamplerate=dword:96000\n");
    ReplaceEngine();  // shuts down an engine that read nothing
    EXPECT_EQ(Stored("Samplerate"), 96000u);
}
