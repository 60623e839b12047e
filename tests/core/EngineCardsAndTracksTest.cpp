#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <list>

#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "soundcard/SoundCard.h"
#include "soundcard/WaveBuff.h"
#include "support/EngineFixture.h"
#include "tracks/Channel.h"

using ::testing::ElementsAre;
using EngineCards = EngineTest;
using EngineTracks = EngineTest;

TEST_F(EngineCards, OpeningACardTwiceIsRefusedWithCodeOneAndTheListUnchanged) {
    Mixer->ReadSettings();
    ASSERT_EQ(Mixer->AddCard(2), 1);
    try {
        Mixer->AddCard(2);
        FAIL() << "expected an error";
    } catch (const OrvellError& error) {
        EXPECT_EQ(error.Message, "Soundcard allready in use!");
        EXPECT_EQ(error.Code, 1);
    }
    std::list<std::string> cards;
    Mixer->GetActiveSoundcards(cards);
    EXPECT_THAT(cards, ElementsAre("0: Virtual card 2"));
    EXPECT_EQ(SoundCard::Antal, 1);
}

TEST_F(EngineCards, GetSoundcardRefusesIndicesOutsideTheList) {
    Mixer->ReadSettings();
    ASSERT_EQ(Mixer->AddCard(0), 1);
    ASSERT_EQ(Mixer->AddCard(1), 1);
    EXPECT_EQ(Mixer->GetSoundcard(static_cast<char>(-1)), nullptr);
    EXPECT_EQ(Mixer->GetSoundcard(static_cast<char>(SoundCard::Antal)), nullptr);
    EXPECT_EQ(Mixer->GetSoundcard(static_cast<char>(1))->DeviceId, 1);
    EXPECT_EQ(Mixer->GetSoundcard(-1), nullptr);
    EXPECT_EQ(Mixer->GetSoundcard(2), nullptr);
    EXPECT_EQ(Mixer->GetSoundcard(0)->DeviceId, 0);
    EXPECT_EQ(Mixer->GetSoundcard(0)->Index, 0);
    EXPECT_EQ(Mixer->GetSoundcard(1)->Index, 1);
}

TEST_F(EngineCards, RemovingTheCardsClosesEveryCard) {
    Mixer->ReadSettings();
    ASSERT_EQ(Mixer->AddCard(0), 1);
    ASSERT_EQ(Mixer->AddCard(3), 1);
    Mixer->RemoveSoundcards();
    EXPECT_EQ(SoundCard::Antal, 0);
    EXPECT_EQ(Mixer->GetSoundcard(0), nullptr);
    // The devices are free again.
    EXPECT_EQ(Mixer->AddCard(3), 1);
}

TEST_F(EngineCards, SetBufferInfoReplacesTheBuffersOfEveryCard) {
    Mixer->ReadSettings();
    ASSERT_EQ(Mixer->AddCard(0), 1);
    ASSERT_EQ(Mixer->AddCard(1), 1);
    Mixer->SetBufferInfo(3, 5000, 4096);  // 4096 frames
    for (int i = 0; i < 2; ++i) {
        SoundCard* card = Mixer->GetSoundcard(i);
        ASSERT_EQ(card->OutputBufferCount(), 3u);
        EXPECT_EQ(card->OutputBuffer(2).Length(), 4096u * 4);
        EXPECT_EQ(card->InputBufferCount(), 3u);
    }
    int count = 0, size = 0, cache = 0;
    Mixer->GetBufferInfo(count, size, cache);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(size, 4096);
    EXPECT_EQ(cache, 4096);
}

TEST_F(EngineCards, TheCacheSizeReachesEveryTrackAndIsReportedFromTheFirst) {
    Mixer->ReadSettings();
    Channel* first = Mixer->AddChannel();
    Channel* second = Mixer->AddChannel();
    Mixer->SetBufferInfo(4, 2048, 5000);  // rounded up to whole kilobytes by the tracks
    EXPECT_EQ(first->GetCacheSize(), 5120);
    EXPECT_EQ(second->GetCacheSize(), 5120);
    first->SetCache(1024);
    int count = 0, size = 0, cache = 0;
    Mixer->GetBufferInfo(count, size, cache);
    EXPECT_EQ(cache, 1024);
    // New tracks get the engine's cache size as set.
    EXPECT_EQ(Mixer->AddChannel()->GetCacheSize(), 5120);
}

TEST_F(EngineCards, SetBufferInfoGrowsTheSharedMixingBuffer) {
    Mixer->ReadSettings();
    Mixer->AddChannel();
    Mixer->SetBufferInfo(4, 8192, 0);
    // The whole grown buffer must be writable (AddressSanitizer checks the bound).
    for (size_t i = 0; i < 8192u * 2; ++i)
        Channel::Data[i] = static_cast<short>(i);
    EXPECT_EQ(Channel::Data[8192 * 2 - 1], static_cast<short>(8192 * 2 - 1));
}

TEST_F(EngineTracks, ChannelsAreNumberedInTheOrderTheyAreAdded) {
    Channel* first = Mixer->AddChannel();
    Channel* second = Mixer->AddChannel();
    EXPECT_EQ(first->GetIndex(), 0);
    EXPECT_EQ(second->GetIndex(), 1);
    EXPECT_EQ(Channel::Antal, 2);
    EXPECT_NE(Channel::Data, nullptr);
    EXPECT_EQ(Mixer->GetChannel(static_cast<char>(1)), second);
    EXPECT_EQ(Mixer->GetChannel(static_cast<char>(2)), nullptr);
    EXPECT_EQ(Mixer->GetChannel(static_cast<char>(-1)), nullptr);

    // A channel constructed outside the engine counts, but is not the engine's track 2.
    Channel loose;
    EXPECT_EQ(loose.GetIndex(), -1);
    EXPECT_EQ(Mixer->GetChannel(static_cast<char>(2)), nullptr);
}

TEST_F(EngineTracks, TerminateReleasesTracksAndTheSharedMixingBuffer) {
    Mixer->ReadSettings();
    Mixer->AddChannel();
    Mixer->AddChannel();
    Mixer->Terminate();
    EXPECT_EQ(Channel::Antal, 0);
    EXPECT_EQ(Channel::Data, nullptr);
    EXPECT_EQ(Mixer->GetChannel(static_cast<char>(0)), nullptr);
}

TEST_F(EngineTracks, PositionsConvertWithWholeFramesPerMillisecond) {
    Mixer->SetPos_ms(1000);  // 44000 frames, rounded down to 42 * 1024
    EXPECT_EQ(PlayPos.load(), 42 * 1024);
    EXPECT_EQ(MixPos.load(), 42 * 1024);
    EXPECT_EQ(Mixer->GetPos_ms(), 975u);
}
