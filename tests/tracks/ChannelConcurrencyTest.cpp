// The GUI edits a track's programs while the player mixes it: the player must never see a
// program in the middle of a change (ThreadSanitizer watches the whole run).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "support/EngineFixture.h"
#include "tracks/TrackTestSupport.h"

using ChannelConcurrency = EngineTest;

TEST_F(ChannelConcurrency, DrawingAndRecordingAutomationWhileMixingIsSafe) {
    Mixer->ReadSettings();
    ASSERT_EQ(Mixer->AddCard(0), 1);
    SoundCard* card = Mixer->GetSoundcard(0);
    Channel* channel = Mixer->AddChannel();
    const int songBuffers = 16;
    WriteTrackAudio(channel, "channel0_", true, true, 0,
                    ConstantStereo16(10000, -10000, songBuffers * 2048));

    std::atomic<bool> done{false};
    std::atomic<int> outOfRange{0};
    std::thread player([&] {
        MixPos = 0;
        FirstBuffer = true;
        for (int pass = 0; pass < 1500; ++pass) {
            card->CreateBuffers(2, BufferSize);
            card->NextOutBuffer();
            channel->Mix();
            FirstBuffer = false;
            const int16_t* out = card->CurrentBuffer()->Samples();
            for (size_t s = 0; s < 2 * BufferSize; ++s)
                if (std::abs(out[s]) > 10000)
                    ++outOfRange;
            MixPos += static_cast<int32_t>(BufferSize);
            if (MixPos >= songBuffers * 2048) {
                MixPos = 0;
                FirstBuffer = true;
            }
        }
        done = true;
    });

    int round = 0;
    while (!done) {
        const unsigned from = static_cast<unsigned>(round % 700);
        channel->Fade(from, from + 60 + round % 200, EventTypes::VolumeFade, 0.0f);
        PlayPos = static_cast<int32_t>((round * 997) % (songBuffers * 2048));
        const bool isVolume = round % 2 == 0;
        channel->RealTimeFade(true, isVolume);
        for (int move = 0; move < 5; ++move) {
            PlayPos = PlayPos + 300;
            if (isVolume)
                channel->Volume(0.1f * move);
            else
                channel->Pan(-1.0f + 0.4f * move);
        }
        float volume, pan;
        channel->GetRealtimeVolPan(volume, pan);
        channel->RealTimeFade(false, isVolume);
        channel->SetOffsetPan(round % 3 == 0 ? 0.5f : -0.5f);
        channel->Enable(round % 5 != 0);
        if (round % 50 == 0)
            channel->ClearEvents(true);
        if (round % 20 == 0)
            channel->ClearEvents(0, 100000, false);
        ++round;
    }
    player.join();
    EXPECT_EQ(outOfRange.load(), 0);
    EXPECT_GT(round, 0);
}
