// The GUI edits a track's programs while the player mixes it. Every buffer the player makes
// must be the mix of one state the programs were in between two of the GUI's calls: a look-up
// that sees a program in the middle of a change, or freed memory, makes a buffer that no such
// state explains. ThreadSanitizer watches the same run for the races themselves.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "support/EngineFixture.h"
#include "tracks/TrackTestSupport.h"

namespace {

constexpr int SongBuffers = 16, Passes = 1500;

// What the player reads under the channel's program lock.
struct ProgramState {
    EventList volume, pan;
    bool realtime = false;
    float realtimeVolume = 1.0f, realtimePan = 0.0f;
};

int16_t Scaled(float sample, float gain) {
    return static_cast<int16_t>(std::clamp(sample * gain, -32768.0f, 32767.0f));
}

// Whether samples, the buffer from frame start on, are the track (10000, -10000) mixed under
// state, each frame with either offset pan the GUI sets (offsets are read without the lock, so
// they may change within a buffer).
bool Explains(const ProgramState& state, uint32_t start, const std::vector<int16_t>& samples) {
    size_t volumePos = 0, panPos = 0;  // the last events before the frame, walking on
    for (uint32_t i = 0; i < BufferSize; ++i) {
        const int64_t frame = int64_t{start} + i;
        while (volumePos + 1 < state.volume.size() && state.volume[volumePos + 1].Time < frame)
            ++volumePos;
        while (panPos + 1 < state.pan.size() && state.pan[panPos + 1].Time < frame)
            ++panPos;
        const float v = state.realtime ? state.realtimeVolume : state.volume[volumePos].Value;
        const float q = state.realtime ? state.realtimePan : state.pan[panPos].Value;
        bool explained = false;
        for (float P : {0.5f, -0.5f}) {
            const float gainLeft = (q < 0 ? v : v - v * q) * (P < 0 ? 1.0f : 1.0f - P);
            const float gainRight = (q < 0 ? v - (-q * v) : v) * (P <= 0 ? 1.0f + P : 1.0f);
            explained = explained || (samples[2 * i] == Scaled(10000, gainLeft) &&
                                      samples[2 * i + 1] == Scaled(-10000, gainRight));
        }
        if (!explained)
            return false;
    }
    return true;
}

}  // namespace

using ChannelConcurrency = EngineTest;

TEST_F(ChannelConcurrency, EveryBufferMixedWhileTheGuiEditsIsTheMixOfOneWholeProgramState) {
    Mixer->ReadSettings();
    ASSERT_EQ(Mixer->AddCard(0), 1);
    SoundCard* card = Mixer->GetSoundcard(0);
    Channel* channel = Mixer->AddChannel();
    WriteTrackAudio(channel, "channel0_", true, true, 0,
                    ConstantStereo16(10000, -10000, SongBuffers * 2048));

    // states[n] is the state after the GUI's n-th call that changes what the player reads.
    std::vector<ProgramState> states{{channel->GetVolumeEvents(), channel->GetPanEvents()}};
    // Each buffer the player made, with the number of calls the GUI had finished before and
    // after it.
    std::atomic<size_t> calls{0};
    std::vector<std::vector<int16_t>> heard(Passes, std::vector<int16_t>(2 * BufferSize));
    std::vector<std::pair<size_t, size_t>> callsAround(Passes);
    // Each buffer is mixed while the GUI makes one round of calls: the round starts as the
    // player starts to mix, and the next buffer waits for the next round, so that every round
    // meets a mix and few states can explain each buffer.
    std::atomic<int> rounds{0}, mixing{0}, passes{0};
    channel->SetOffsetPan(0.5f);
    std::thread player([&] {
        MixPos = 0;
        FirstBuffer = true;
        for (int pass = 0; pass < Passes; ++pass) {
            while (rounds <= pass)
                std::this_thread::yield();
            card->CreateBuffers(2, BufferSize);
            card->NextOutBuffer();
            callsAround[pass].first = calls;
            mixing = pass + 1;
            channel->Mix();
            callsAround[pass].second = calls;
            FirstBuffer = false;
            std::copy_n(card->CurrentBuffer()->Samples(), heard[pass].size(), heard[pass].begin());
            MixPos += static_cast<int32_t>(BufferSize);
            if (MixPos >= SongBuffers * 2048) {
                MixPos = 0;
                FirstBuffer = true;
            }
            passes = pass + 1;
        }
    });

    ProgramState now = states[0];
    auto changed = [&](bool programs) {
        if (programs) {
            now.volume = channel->GetVolumeEvents();
            now.pan = channel->GetPanEvents();
        }
        states.push_back(now);
        calls = states.size() - 1;
    };
    for (int round = 0; round < Passes; ++round) {
        rounds = round + 1;
        while (mixing <= round)
            std::this_thread::yield();
        const unsigned from = static_cast<unsigned>(round % 700);
        channel->Fade(from, from + 60 + round % 200, EventTypes::VolumeFade,
                      0.25f + 0.125f * static_cast<float>(round % 6));
        changed(true);
        PlayPos = static_cast<int32_t>((round * 997) % (SongBuffers * 2048));
        const bool isVolume = round % 2 == 0;
        channel->GetRealtimeVolPan(now.realtimeVolume, now.realtimePan);  // where the pass starts
        channel->RealTimeFade(true, isVolume);
        now.realtime = true;
        changed(false);
        for (int move = 0; move < 5; ++move) {
            PlayPos = PlayPos + 300;
            if (isVolume)
                channel->Volume(now.realtimeVolume = 0.1f * static_cast<float>(move));
            else
                channel->Pan(now.realtimePan = -1.0f + 0.4f * static_cast<float>(move));
            changed(false);
        }
        channel->RealTimeFade(false, isVolume);
        now.realtime = false;
        changed(true);
        channel->SetOffsetPan(round % 3 == 0 ? 0.5f : -0.5f);
        channel->Enable(round % 5 != 0);
        if (round % 50 == 0) {
            channel->ClearEvents(true);
            changed(true);
        }
        if (round % 20 == 0) {
            channel->ClearEvents(0, 100000, false);
            changed(true);
        }
        while (passes <= round)
            std::this_thread::yield();
    }
    player.join();

    // A buffer saw the state after one call n, first <= n <= last + 1: the GUI stores its count
    // after each call returns, so one more call may have returned before the player took the
    // lock without its count being stored when the mix ended.
    size_t mixed = 0, unexplained = 0;
    for (int pass = 0; pass < Passes; ++pass) {
        const std::vector<int16_t>& samples = heard[pass];
        if (std::all_of(samples.begin(), samples.end(), [](int16_t s) { return s == 0; }))
            continue;  // disabled
        ++mixed;
        const auto start = static_cast<uint32_t>(pass % SongBuffers * BufferSize);
        bool explained = false;
        const auto [first, last] = callsAround[pass];
        for (size_t n = first; n <= std::min(last + 1, states.size() - 1); ++n)
            explained = explained || Explains(states[n], start, samples);
        unexplained += explained ? 0 : 1;
    }
    EXPECT_EQ(unexplained, 0u);
    EXPECT_GT(mixed, size_t{Passes / 2});
}
