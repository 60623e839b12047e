// Sixteen tracks of random audio in random formats, with random automation, offsets, routing
// and enable flags, mixed buffer after buffer by the engine and by a plain model of the mix
// written here frame by frame; both must agree on every sample of every card.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>

#include "support/EngineFixture.h"
#include "support/MixModel.h"
#include "tracks/TrackTestSupport.h"

namespace {

constexpr int TrackCount = 16;
constexpr int Passes = 14;

class MixReference : public EngineTest {};

}  // namespace

TEST_F(MixReference, SixteenRandomTracksMixExactlyAsThePlainModelSays) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        // Each round in a song folder of its own.
        const std::string song = PathIn("song" + std::to_string(seed));
        std::filesystem::create_directory(song);
        ASSERT_EQ(chdir(song.c_str()), 0);
        ReplaceEngine();
        Mixer->ReadSettings();
        Mixer->RemoveSoundcards();  // the previous round saved its cards
        ASSERT_EQ(Mixer->AddCard(0), 1);
        ASSERT_EQ(Mixer->AddCard(1), 1);
        std::vector<SoundCard*> cards = {Mixer->GetSoundcard(0), Mixer->GetSoundcard(1)};
        std::mt19937 random(seed);
        auto chance = [&](double p) { return std::bernoulli_distribution(p)(random); };
        auto uniform = [&](int lo, int hi) {
            return std::uniform_int_distribution<int>(lo, hi)(random);
        };
        auto real = [&](float lo, float hi) {
            return std::uniform_real_distribution<float>(lo, hi)(random);
        };

        const uint32_t songStart = static_cast<uint32_t>(uniform(0, 3)) * 2048;
        const int songMs = static_cast<int>((songStart + Passes * 2048) / 44);
        std::vector<TrackModel> tracks(TrackCount);
        for (int n = 0; n < TrackCount; ++n) {
            TrackModel& t = tracks[n];
            Channel* channel = Mixer->AddChannel();
            t.stereo = chance(0.5);
            t.sixteen = chance(0.5);
            t.card = uniform(0, 1);
            t.disabled = chance(0.15);
            t.offsetVolume = chance(0.2) ? real(1.0f, 3.0f) : real(0.0f, 1.0f);
            t.offsetPan = chance(0.3) ? 0.0f : real(-1.0f, 1.0f);
            // Caches that hold a whole number of engine buffers of every format.
            t.cacheLength = chance(0.5) ? 0 : static_cast<uint32_t>(uniform(1, 4)) * 8192;
            const int64_t startFrame = int64_t{uniform(0, 16)} * 1024;
            t.startByte = startFrame * t.FrameBytes();
            size_t length = static_cast<size_t>(uniform(0, 40)) * 1024;
            for (size_t b = 0; b < length; ++b)
                t.bytes.push_back(static_cast<char>(uniform(0, 255)));
            channel->GetChannelFile()->SetCacheSize(static_cast<int32_t>(t.cacheLength));
            WriteTrackAudio(channel, "channel" + std::to_string(n) + "_", t.stereo, t.sixteen,
                            startFrame, t.bytes);
            t.fill = channel->GetChannelFile()->GetFillByte();
            if (t.card)
                channel->SetSoundCard(1);
            channel->Enable(!t.disabled);
            channel->SetOffsetVol(t.offsetVolume);
            channel->SetOffsetPan(t.offsetPan);

            for (int edit = uniform(0, 6); edit > 0; --edit) {
                if (chance(0.5)) {
                    int from = uniform(0, songMs);
                    channel->Fade(static_cast<unsigned long>(from),
                                  static_cast<unsigned long>(from + uniform(0, 400)),
                                  EventTypes::VolumeFade, real(0.0f, 1.2f));
                } else if (chance(0.3)) {
                    int from = uniform(0, songMs);
                    channel->ClearEvents(static_cast<unsigned>(from),
                                         static_cast<unsigned>(from + uniform(0, 300)),
                                         chance(0.5));
                } else {
                    // Passes that start at or right around a buffer's first frame, and moves at
                    // the same frame, the next one or further on.
                    bool isVolume = chance(0.5);
                    const int songEnd = static_cast<int>(songStart) + Passes * 2048;
                    int32_t at =
                        chance(0.5)
                            ? std::max(0, uniform(0, songEnd / 2048) * 2048 + uniform(-1, 1))
                            : uniform(0, songEnd);
                    PlayPos = at;
                    channel->RealTimeFade(true, isVolume);
                    for (int move = uniform(1, 5); move > 0; --move) {
                        PlayPos = at;
                        if (isVolume)
                            channel->Volume(real(0.0f, 1.0f));
                        else
                            channel->Pan(real(-1.0f, 1.0f));
                        at += chance(0.4) ? uniform(0, 1) : uniform(0, 3) * uniform(0, 3000);
                    }
                    PlayPos = at;
                    channel->RealTimeFade(false, isVolume);
                }
            }
            t.volume = channel->GetVolumeEvents();
            t.pan = channel->GetPanEvents();
            if (chance(0.1)) {
                // A realtime pass still running while the song plays.
                PlayPos = 0;
                channel->GetRealtimeVolPan(t.realtimeVolume, t.realtimePan);  // where it starts
                channel->RealTimeFade(true, true);
                t.realtime = true;
                t.realtimeVolume = real(0.0f, 1.0f);
                channel->Volume(t.realtimeVolume);
            }
        }

        // Two runs from the same start, as when the song is stopped and played again.
        for (int pass = 0; pass < 2 * Passes; ++pass) {
            SCOPED_TRACE(pass);
            if (pass % Passes == 0) {
                MixPos = static_cast<int32_t>(songStart);
                FirstBuffer = true;
            }
            std::vector<std::vector<int16_t>> engine = MixPass(cards, TrackCount);

            std::vector<std::vector<int16_t>> model;
            for (int c = 0; c < 2; ++c)
                model.push_back(ModelCardBuffer(tracks, c, songStart, pass % Passes));
            for (int c = 0; c < 2; ++c) {
                auto [at, expected] =
                    std::mismatch(engine[c].begin(), engine[c].end(), model[c].begin());
                ASSERT_TRUE(at == engine[c].end())
                    << "card " << c << " sample " << (at - engine[c].begin()) << ": " << *at
                    << " instead of " << *expected;
            }
            FirstBuffer = false;
            MixPos += static_cast<int32_t>(BufferSize);

            // The user draws while the song plays: the next passes must see the new program.
            if (chance(0.5)) {
                const int n = uniform(0, TrackCount - 1);
                Channel* channel = Mixer->GetChannel(static_cast<char>(n));
                const int around = static_cast<int>(MixPos.load() / 44) + uniform(-200, 200);
                if (chance(0.7))
                    channel->Fade(
                        static_cast<unsigned long>(std::max(0, around)),
                        static_cast<unsigned long>(std::max(0, around) + uniform(50, 300)),
                        EventTypes::VolumeFade, real(0.0f, 1.0f));
                else
                    channel->ClearEvents(static_cast<unsigned>(std::max(0, around - 300)),
                                         static_cast<unsigned>(std::max(0, around)), true);
                tracks[n].volume = channel->GetVolumeEvents();
            }
        }
    }
}
