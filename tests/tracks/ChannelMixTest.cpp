#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

TEST_F(ChannelMix, PanAndOffsetGainsFollowTheLinearLaw) {
    Channel* channel = ConstantTrack(10000, 10000, 4 * 2048);
    channel->Fade(0, 50, EventTypes::VolumeFade, 0.8f);  // volume 0.8 from frame 0 on
    channel->SetOffsetPan(0.0f);
    PlayPos = 0;
    channel->RealTimeFade(true, false);
    channel->Pan(0.5f);
    std::vector<int16_t> out = Pass();
    // volume 0.8, pan +0.5: left 0.8 - 0.4 = 0.4, right 0.8
    EXPECT_EQ(out[0], static_cast<int16_t>(10000 * (0.8f - 0.8f * 0.5f)));
    EXPECT_EQ(out[1], 8000);
    channel->Pan(-1.0f);
    out = Pass();
    EXPECT_EQ(out[0], 8000);
    EXPECT_EQ(out[1], 0);
    channel->RealTimeFade(false, false);

    // Offsets multiply in, with their own pan law: pan right keeps the right side whole.
    channel->ClearEvents(true);
    channel->ClearEvents(false);
    channel->SetOffsetVol(0.5f);
    channel->SetOffsetPan(0.25f);
    out = Pass();
    EXPECT_EQ(out[0], static_cast<int16_t>(10000 * (0.5f - 0.5f * 0.25f)));
    EXPECT_EQ(out[1], 5000);
}

TEST_F(ChannelMix, AnEventTakesEffectFromTheFrameAfterItsTime) {
    Channel* channel = ConstantTrack(20000, -20000, 4 * 2048);
    // A volume event at the last frame of the first buffer and one inside the second.
    PlayPos = 2047;
    channel->RealTimeFade(true, true);
    channel->Volume(0.5f);
    PlayPos = 2048 + 100;
    channel->Volume(0.25f);
    channel->RealTimeFade(false, true);

    std::vector<int16_t> first = Pass();
    EXPECT_EQ(first[2 * 2046], 20000);
    EXPECT_EQ(first[2 * 2047], 20000);  // the event's own frame keeps the old gain
    std::vector<int16_t> second = Pass();
    EXPECT_EQ(second[0], 10000);  // the new gain starts with the next frame
    EXPECT_EQ(second[1], -10000);
    EXPECT_EQ(second[2 * 100], 10000);
    EXPECT_EQ(second[2 * 101], 5000);
    EXPECT_EQ(second[2 * 2047 + 1], -5000);
}

TEST_F(ChannelMix, EveryTrackFormatIsWidenedToSixteenBitStereo) {
    struct Case {
        bool stereo, sixteen;
        std::string bytes;  // two frames
        std::vector<int16_t> expected;
    };
    const Case cases[] = {
        {true,
         true,
         std::string("\x34\x12\xCC\xED\x00\x80\xFF\x7F", 8),
         {0x1234, -0x1234, -32768, 32767}},
        {true, false, std::string("\x00\xFF\x80\x7F", 4), {-32768, 32512, 0, -256}},
        {false, true, std::string("\x34\x12\x00\x80", 4), {0x1234, 0x1234, -32768, -32768}},
        {false, false, std::string("\x01\xFF", 2), {-32512, -32512, 32512, 32512}},
    };
    for (const Case& c : cases) {
        Channel* channel = Mixer->AddChannel();
        std::string audio;
        // Enough frames to fill a buffer: repeat the two frames.
        for (int i = 0; i < 1024; ++i)
            audio += c.bytes;
        WriteTrackAudio(channel, "channel" + std::to_string(channel->GetIndex()) + "_", c.stereo,
                        c.sixteen, 0, audio);
    }
    for (int track = 0; track < 4; ++track) {
        SCOPED_TRACE(track);
        for (int i = 0; i < 4; ++i)
            Mixer->GetChannel(static_cast<char>(i))->Enable(i == track);
        MixPos = 0;
        FirstBuffer = true;
        std::vector<int16_t> out = Pass();
        EXPECT_THAT(std::vector<int16_t>(out.begin(), out.begin() + 4),
                    ::testing::ElementsAreArray(cases[track].expected));
        EXPECT_THAT(std::vector<int16_t>(out.end() - 4, out.end()),
                    ::testing::ElementsAreArray(cases[track].expected));
    }
}

TEST_F(ChannelMix, SilentTracksStayInStepWithTheSong) {
    std::string ramp;
    for (int frame = 0; frame < 8 * 2048; ++frame)
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

    // A track routed to a card that is no longer open is silent and keeps in step too.
    ASSERT_EQ(Mixer->AddCard(1), 1);
    channel->SetSoundCard(1);
    Mixer->RemoveSoundcards();
    ASSERT_EQ(Mixer->AddCard(0), 1);
    card = Mixer->GetSoundcard(0);
    EXPECT_EQ(Pass()[0], 0);
    channel->SetSoundCard(0);
    EXPECT_EQ(Pass()[0], 7001);
}

TEST_F(ChannelMix, LoudTracksSaturateInsteadOfWrappingAround) {
    ConstantTrack(30000, -30000, 2 * 2048);
    Channel* second = ConstantTrack(30000, -30000, 2 * 2048);
    EXPECT_EQ(Pass()[0], 32767);  // two tracks summed
    second->Enable(false);
    Mixer->GetChannel(static_cast<char>(0))->SetOffsetVol(2.0f);  // amplified past the range
    std::vector<int16_t> out = Pass();
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], -32768);
}
