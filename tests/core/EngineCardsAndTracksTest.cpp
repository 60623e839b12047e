#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <list>

#include "ThrownMessage.h"
#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "platform/os/PageBuffer.h"
#include "soundcard/SoundCard.h"
#include "soundcard/WaveBuff.h"
#include "support/EngineFixture.h"
#include "tracks/Channel.h"

using ::testing::ElementsAre;
using EngineCards = EngineTest;
using EngineTracks = EngineTest;

TEST_F(EngineCards, CardsAreOpenedOnceFoundByListPositionAndRemovedTogether) {
    Mixer->ReadSettings();
    ASSERT_EQ(Mixer->AddCard(2), 1);
    ASSERT_EQ(Mixer->AddCard(0), 1);
    try {
        Mixer->AddCard(2);
        FAIL() << "expected an error";
    } catch (const OrvellError& error) {
        EXPECT_EQ(error.Message, "Soundcard allready in use!");
        EXPECT_EQ(error.Code, 1);
    }
    std::list<std::string> cards;
    Mixer->GetActiveSoundcards(cards);
    EXPECT_THAT(cards, ElementsAre("0: Virtual card 2", "1: Virtual card 0"));
    EXPECT_EQ(SoundCard::Antal, 2);

    EXPECT_EQ(Mixer->GetSoundcard(static_cast<char>(-1)), nullptr);
    EXPECT_EQ(Mixer->GetSoundcard(static_cast<char>(SoundCard::Antal)), nullptr);
    EXPECT_EQ(Mixer->GetSoundcard(static_cast<char>(1))->Index, 1);
    EXPECT_EQ(Mixer->GetSoundcard(-1), nullptr);
    EXPECT_EQ(Mixer->GetSoundcard(2), nullptr);
    EXPECT_EQ(Mixer->GetSoundcard(0)->DeviceId, 2);

    Mixer->RemoveSoundcards();
    EXPECT_EQ(SoundCard::Antal, 0);
    EXPECT_EQ(Mixer->GetSoundcard(0), nullptr);
    EXPECT_EQ(Mixer->AddCard(2), 1);  // the device is free again
}

TEST_F(EngineTracks, ChannelsAreNumberedInOrderAndReleasedByTerminate) {
    Mixer->ReadSettings();
    Channel* first = Mixer->AddChannel();
    Channel* second = Mixer->AddChannel();
    EXPECT_EQ(first->GetIndex(), 0);
    EXPECT_EQ(second->GetIndex(), 1);
    EXPECT_EQ(Mixer->GetChannel(static_cast<char>(1)), second);
    EXPECT_EQ(Mixer->GetChannel(static_cast<char>(-1)), nullptr);
    {
        // Counted, but not the engine's track 2.
        Channel loose;
        EXPECT_EQ(Channel::Antal, 3);
        EXPECT_EQ(loose.GetIndex(), -1);
        EXPECT_EQ(Mixer->GetChannel(static_cast<char>(2)), nullptr);
    }
    Mixer->Terminate();
    EXPECT_EQ(Channel::Antal, 0);
    EXPECT_EQ(Channel::Data, nullptr);
    EXPECT_EQ(Mixer->GetChannel(static_cast<char>(0)), nullptr);

    // A track whose file cannot be made (no memory for its cache) leaves nothing behind.
    CacheSize = 204800;
    PageBuffer::LimitAllocationsForTests(1024);
    EXPECT_EQ(ThrownMessage<DisplayedError>([] { Channel failed; }),
              "Out of memory for wavefiles!");
    PageBuffer::LimitAllocationsForTests(0);
    EXPECT_EQ(Channel::Antal, 0);
    EXPECT_EQ(Channel::Data, nullptr);
}
