#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <list>

#include "ThrownMessage.h"
#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "platform/os/SettingsStore.h"
#include "soundcard/SoundCard.h"
#include "support/EngineFixture.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"
#include "tracks/TrackTestSupport.h"

using ::testing::ElementsAre;

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

TEST_F(EngineSettings, RoundTripKeepsEverySettingWithItsStoredUnitsAndAnUnopenableCardEndsTheList) {
    Mixer->ReadSettings();
    Mixer->SetSampleRate(48000);
    Mixer->SetBufferInfo(6, 3000, 1000000);  // size rounds down to 2048 frames
    SoundCard::SetLagTime(-512);
    ASSERT_EQ(Mixer->AddCard(3), 1);
    ASSERT_EQ(Mixer->AddCard(1), 1);
    Mixer->SaveSettings();
    EXPECT_EQ(Stored("CacheSize"), 976u);  // kilobytes, truncated
    EXPECT_EQ(Stored("LagTime"), static_cast<uint32_t>(-512));

    ReplaceEngine();  // the old engine's shutdown saves once more, with the same values
    Mixer->ReadSettings();
    EXPECT_EQ(Effective(),
              "48000 6x2048 cache 999424 lag -512 [0: Virtual card 3] [1: Virtual card 1]");
    OrvellError none;
    EXPECT_FALSE(Mixer->GetLastError(none));

    // A card that cannot be opened ends the list; those before it stay open.
    WriteSettings("Soundcards=string:\"19\"\n");
    EXPECT_EQ(ThrownMessage<OrvellError>([] { Mixer->ReadSettings(); }),
              "The specified device ID is out of range.\nDevice: ");
    EXPECT_THAT(Effective(), ::testing::EndsWith("lag -512 [0: Virtual card 1]"));
}

// Every path that changes the buffer size makes the mixing block, the scratch block and the
// cards' buffers fit it, also for tracks that existed before; SetBufferInfo gives every track
// the cache too.
TEST_F(EngineSettings, ReadingOrSettingABufferSizeReachesEveryCardTrackAndTheMixingBlock) {
    for (bool fromFile : {true, false}) {
        SCOPED_TRACE(fromFile ? "ReadSettings" : "SetBufferInfo");
        ReplaceEngine();
        WriteSettings("Soundcards=string:\"01\"\n");
        Mixer->ReadSettings();
        Channel* first = Mixer->AddChannel();
        WriteTrackAudio(first, "channel0_", true, true, 0, ConstantStereo16(100, -100, 3 * 8192));
        if (fromFile) {
            WriteSettings("BuffSize=dword:8192\nBuffCount=dword:3\nSoundcards=string:\"01\"\n");
            Mixer->ReadSettings();
        } else {
            Mixer->SetBufferInfo(3, 9000, 5000);  // 8192 frames; caches whole kilobytes
            EXPECT_EQ(first->GetCacheSize(), 5120);
        }
        Mixer->AddChannel();
        for (int i = 0; i < 2; ++i) {
            SoundCard* card = Mixer->GetSoundcard(i);
            ASSERT_EQ(card->OutputBufferCount(), 3u);
            EXPECT_EQ(card->OutputBuffer(2).Length(), 8192u * 4);
            EXPECT_EQ(card->InputBufferCount(), 3u);
        }
        MixPos = 0;
        FirstBuffer = true;
        // The whole grown mixing block is written (AddressSanitizer checks the bounds).
        EXPECT_EQ(MixPass({Mixer->GetSoundcard(0)}, 2)[0][2 * 8192 - 1], -100);
    }
    Mixer->GetChannel(static_cast<char>(0))->SetCache(1024);
    int count = 0, size = 0, cache = 0;
    Mixer->GetBufferInfo(count, size, cache);
    EXPECT_EQ(cache, 1024);  // what the first track reports
    EXPECT_EQ(Mixer->AddChannel()->GetCacheSize(), 5120);

    // No buffers, or buffers of less than 1024 frames, could never play: kept as they were.
    Mixer->SetBufferInfo(0, 1000, 5000);
    EXPECT_EQ(Effective(), "44100 3x8192 cache 5120 lag 0 [0: Virtual card 0] [1: Virtual card 1]");
}

TEST_F(EngineSettings, DamagedSettingsFilesGiveDefaultsForWhatCannotBeRead) {
    const std::string damaged[] = {
        "",
        "\x01\x02garbage\xff\xfe\n=\n==\nSampleRate\n",
        "Samplerate=dword:\nBuffSize=string:\"2048\nBuffCount=dword:-3\n"
        "CacheSize=dword:99999999999\n",
        "Samplerate=dword:0\nBuffSize=dword:0\nBuffCount=dword:0\nCacheSize=dword:4294967295\n",
        "Soundcards=string:\"0\nSoundcards=dword:2\nLagTime=string:\"x\"\n",
        // Card buffers of under 1024 bytes could never play.
        "BuffSize=dword:200\n",
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
    EXPECT_THAT(LogLines(), ::testing::Contains("Ignoring setting BuffSize = 200: out of range"));
    // A line cut off mid-number that still parses is taken; names match without case; a
    // stored buffer size is taken as it is, not rounded to 1024 frames.
    ReplaceEngine();
    WriteSettings("BuffSize=dword:3000\nSAMPLERATE=dword:4410\nbuffcount=dword:8");
    Mixer->ReadSettings();
    EXPECT_EQ(Effective(), "4410 8x3000 cache 0 lag 0");
}

TEST_F(EngineSettings, OnlyAnEngineThatReadItsSettingsSavesThemOnceAndAFailedSaveKeepsItRunning) {
    WriteSettings("Soundcards=string:\"1\"\nSamplerate=dword:96000\n");
    ReplaceEngine();  // shuts down an engine that read nothing
    EXPECT_EQ(Stored("Samplerate"), 96000u);

    std::filesystem::remove_all(PathIn(".config/Torvane"));
    WriteWholeFile(PathIn(".config/Torvane"), "a file where the folder should be");
    EXPECT_EQ(ThrownMessage<OrvellError>([] { Mixer->SaveSettings(); }),
              "Can't write settings to registry.");
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
