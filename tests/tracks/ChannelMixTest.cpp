#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

#include "core/OrvellError.h"
#include "core/ThrownMessage.h"
#include "support/EngineFixture.h"
#include "tracks/TrackTestSupport.h"

namespace {

class ChannelMix : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        Mixer->ReadSettings();
        ASSERT_EQ(Mixer->AddCard(0), 1);
        card = Mixer->GetSoundcard(0);
        MixPos = 0;
        FirstBuffer = true;
    }
    // One pass at the current MixPos; then on to the next buffer.
    std::vector<int16_t> Pass() {
        std::vector<int16_t> out = MixPass({card}, Channel::Antal)[0];
        FirstBuffer = false;
        MixPos += static_cast<int32_t>(BufferSize);
        return out;
    }
    Channel* ConstantTrack(int16_t left, int16_t right, size_t frames, int64_t start = 0) {
        Channel* channel = Mixer->AddChannel();
        WriteTrackAudio(channel, "channel" + std::to_string(channel->GetIndex()) + "_", true, true,
                        start, ConstantStereo16(left, right, frames));
        return channel;
    }
    SoundCard* card = nullptr;
};

}  // namespace

TEST_F(ChannelMix, AnEventTakesEffectFromTheFrameAfterItsTimeWhereverItFallsInABuffer) {
    Channel* channel = ConstantTrack(20000, -20000, 4 * 2048);
    // Volume events at the first and the last frame of the first buffer, inside the second and
    // at the first frame of the third.
    PlayPos = 0;
    channel->RealTimeFade(true, true);
    for (auto [at, volume] : {std::pair{0, 0.75f}, {2047, 0.5f}, {2148, 0.25f}, {4096, 0.125f}}) {
        PlayPos = at;
        channel->Volume(volume);
    }
    channel->RealTimeFade(false, true);

    // Buffer, sample (left at even indexes), value: the event's own frame keeps the old gain,
    // the new one starts with the next frame, also across a buffer's start.
    const std::vector<std::vector<int16_t>> buffers = {Pass(), Pass(), Pass()};
    for (auto [buffer, sample, value] : {std::tuple{0, 0, 20000},
                                         {0, 2, 15000},
                                         {0, 2 * 2047, 15000},
                                         {1, 0, 10000},
                                         {1, 1, -10000},
                                         {1, 2 * 100, 10000},
                                         {1, 2 * 101, 5000},
                                         {2, 0, 5000},
                                         {2, 2, 2500},
                                         {2, 2 * 2047 + 1, -2500}}) {
        EXPECT_EQ(buffers[size_t(buffer)][size_t(sample)], value) << buffer << "/" << sample;
    }
}

TEST_F(ChannelMix, SilentTracksStayInStepWithTheSongAndDamagedGainsMixAsSilence) {
    std::string ramp;
    for (int frame = 0; frame < 10 * 2048; ++frame)
        ramp += ConstantStereo16(static_cast<int16_t>(frame / 2048 * 1000 + 1), 0, 1);
    Channel* channel = Mixer->AddChannel();
    WriteTrackAudio(channel, "channel0_", true, true, 0, ramp);

    EXPECT_EQ(Pass()[0], 1);
    channel->Enable(false);
    EXPECT_EQ(Pass()[0], 0);
    EXPECT_EQ(Pass()[0], 0);
    channel->Enable(true);
    EXPECT_EQ(Pass()[0], 3001);  // the fourth buffer, not the second

    // A track whose file is being written is neither heard nor moved.
    channel->GetChannelFile()->Writing = true;
    EXPECT_EQ(Pass()[0], 0);
    channel->GetChannelFile()->Writing = false;
    EXPECT_EQ(Pass()[0], 4001);  // it goes on from where it was left

    // A track routed to a card that is no longer open is silent and keeps in step too; it
    // cannot be routed to a card that is not open.
    ASSERT_EQ(Mixer->AddCard(1), 1);
    channel->SetSoundCard(1);
    Mixer->RemoveSoundcards();
    ASSERT_EQ(Mixer->AddCard(0), 1);
    card = Mixer->GetSoundcard(0);
    EXPECT_EQ(ThrownMessage<DisplayedError>([&] { channel->SetSoundCard(1); }),
              "Invalid sound card index");
    EXPECT_EQ(channel->GetSoundCardIndex(), 1);
    EXPECT_EQ(Pass()[0], 0);
    channel->SetSoundCard(0);
    EXPECT_EQ(Pass()[0], 7001);

    // A volume read from a damaged song may be NaN or infinite: it mixes as silence.
    for (float damaged : {std::nanf(""), std::numeric_limits<float>::infinity()}) {
        channel->SetOffsetVol(damaged);
        EXPECT_THAT(Pass(), ::testing::Each(0)) << damaged;
    }
}

TEST_F(ChannelMix, TheMeterTakesTheHighestLevelSentSinceItLastLookedAfterTheGains) {
    Channel* channel = ConstantTrack(16384, -8192, 4 * 2048);
    EXPECT_EQ(channel->TakeLevel(), 0.0f);
    channel->SetOffsetVol(0.5f);
    Pass();
    EXPECT_EQ(channel->TakeLevel(), 0.25f);
    EXPECT_EQ(channel->TakeLevel(), 0.0f);  // taken: it starts over
    channel->SetOffsetVol(1.0f);
    Pass();
    channel->SetOffsetVol(0.25f);
    Pass();
    EXPECT_EQ(channel->TakeLevel(), 0.5f);  // the louder of the two buffers
    channel->Enable(false);
    Pass();
    EXPECT_EQ(channel->TakeLevel(), 0.0f);  // a silenced track posts nothing
}
