// The transport on virtual cards and through ALSA: what the cards receive, the position, the
// pre-mix, Stop, moves while playing, bounce, two cards, and runs that fail.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "core/ThrownMessage.h"
#include "core/TransportTestSupport.h"
#include "platform/wave/WaveApi.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "soundcard/SoundCard.h"
#include "support/NumberedFrames.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Stop must come back within one buffer period; the margin covers a loaded machine and the
// sanitizer builds, not a stop that waits for the device.
constexpr auto StopMargin = 400ms;
constexpr auto BufferPeriod = std::chrono::microseconds(2048 * 1000000LL / 44100);

void StopReturnsAtOnce() {
    const auto before = Clock::now();
    Mixer->Stop();
    EXPECT_LT(Clock::now() - before, BufferPeriod + StopMargin);
}

class Transport : public TransportTest {
  protected:
    // Six tracks in all four formats around the place the song plays from, with automation,
    // offsets, one disabled and one that starts in the middle of a buffer's worth.
    void SongOfSixTracks(int64_t around) {
        Automate(AddTrack(true, true, around - 4096, 30000), 1000, 0.8f, 0.0f);
        Automate(AddTrack(true, false, around, 20480), 1100, 1.0f, -0.5f);
        Automate(AddTrack(false, true, around + 1024, 40960), 990, 0.6f, 0.4f);
        Automate(AddTrack(false, false, around + 9 * 1024, 8192), 1200, 2.5f, 0.0f);
        AddTrack(true, true, around + 3072, 5000);
        Disable(AddTrack(false, true, around, 16384));
    }
};

}  // namespace

TEST_F(Transport, ASongPlaysExactlyAsTheModelMixesItFromThePositionSetPosMsRoundedTo) {
    OpenCard(0, wave::Pacing::FreeRunning);
    Mixer->SetPos_ms(1000);  // 44000 frames, rounded down to 42 * 1024
    ASSERT_EQ(PlayPos.load(), 42 * 1024);
    EXPECT_EQ(MixPos.load(), 42 * 1024);
    EXPECT_EQ(Mixer->GetPos_ms(), 975u);
    SongOfSixTracks(42 * 1024);

    const std::string played = PlayBuffers(0, 40);
    ASSERT_GE(played.size(), 40u * 8192);
    EXPECT_EQ(played.size() % 8192, 0u);
    EXPECT_TRUE(PlayedAsModelled(played, 0, 42 * 1024));
    EXPECT_FALSE(Mixer->IsPlaying_b());
    EXPECT_EQ(PlayPos.load() % 1024, 0);
    EXPECT_EQ(MixPos.load(), PlayPos.load());
    EXPECT_GE(PlayPos.load(), 42 * 1024);

    // Played again from the same place, the same sound.
    Mixer->SetPos_ms(1000);
    const std::string again = PlayBuffers(0, 10);
    EXPECT_EQ(again.substr(0, 10 * 8192), played.substr(0, 10 * 8192));
}

TEST_F(Transport, TheDevicesStartWithBufferCountLessOneBuffersMixedAhead) {
    OpenCard(0, wave::Pacing::FreeRunning);
    AddTrack(true, true, 0, 100000);
    for (auto [count, ahead] : {std::pair{4, 3}, std::pair{1, 1}, std::pair{6, 5}}) {
        SCOPED_TRACE(count);
        Mixer->SetBufferInfo(count, 2048, 204800);
        Mixer->SetPos(0);
        // With the engine lock held the player stops after the pre-mix: its first cycle
        // waits for the lock.
        Mixer->Lock();
        Mixer->Play();
        EXPECT_TRUE(WaitUntil([&] { return PlayPos.load() == ahead * 2048; }));
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(PlayPos.load(), ahead * 2048);
        EXPECT_EQ(MixPos.load(), ahead * 2048);
        Mixer->Unlock();
        Mixer->Stop();
    }
}

TEST_F(Transport, MovingWhilePlayingGoesOnFromTheNewPlace) {
    OpenCard(0, wave::Pacing::RealTime);
    WriteTrackAudio(Mixer->AddChannel(), "channel0_", true, true, 0, NumberedFrames(0, 300000));

    wave::TakePlayedBytes(0);
    Mixer->Play();
    std::this_thread::sleep_for(300ms);
    Mixer->SetPos_ms(5000);  // 220000 frames, rounded down to 214 * 1024
    EXPECT_TRUE(Mixer->IsPlaying_b());
    EXPECT_GE(PlayPos.load(), 214 * 1024);
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(PlayPos.load(), 214 * 1024);
    Mixer->Stop();

    // What was heard: frames 0, 1, 2 ... then 219136, 219137 ... with nothing in between.
    const std::string played = wave::TakePlayedBytes(0);
    auto frameAt = [&](size_t i) { return int64_t{FrameNumber(played, i)}; };
    size_t jump = 0;
    for (size_t i = 1; i < played.size() / 4; ++i) {
        if (frameAt(i) != frameAt(i - 1) + 1) {
            ASSERT_EQ(jump, 0u) << "a second jump at frame " << i;
            jump = i;
        }
    }
    ASSERT_GT(jump, 0u);
    EXPECT_EQ(frameAt(0), 0);
    EXPECT_EQ(jump % 2048, 0u);
    EXPECT_EQ(frameAt(jump), 214 * 1024);
    EXPECT_GT(played.size() / 4, jump + 4096);
}

TEST_F(Transport, ABounceWritesTheMixOfTheOtherTracksIntoTheTargetAsStereo16) {
    OpenCard(0, wave::Pacing::FreeRunning);
    wave::SetVirtualPlayedCollection(0, true);
    Automate(AddTrack(true, true, 1024, 50000), 100, 0.7f, 0.3f);
    Automate(AddTrack(false, false, 0, 30000), 300, 1.0f, -0.2f);
    AddTrack(false, true, 20480, 40000);
    // The target holds a longer take of its own, which the song length leaves out while the
    // bounce runs.
    Channel* target = AddTrack(true, true, 0, 200000);
    const int others = static_cast<int>(int64_t{60480} * 1000 / 44100);
    EXPECT_EQ(Mixer->GetSongLength_ms(), static_cast<int>(int64_t{200000} * 1000 / 44100));

    EXPECT_THROW(Mixer->BuildMix(2, 3), DisplayedError);
    Mixer->BuildMix(0, 3);
    EXPECT_EQ(Mixer->GetSongLength_ms(), others);
    bool stereo = false, sixteen = false;
    target->GetFormat(stereo, sixteen);
    EXPECT_TRUE(stereo && sixteen);

    Mixer->SetPos(0);
    Mixer->Play();
    ASSERT_TRUE(WaitUntil([&] { return MsToFrames(others) <= PlayPos.load(); }));
    Mixer->Lock();
    // Every bounced buffer advanced the position by one buffer, as it was written.
    EXPECT_EQ(PlayPos.load(), MixPos.load());
    EXPECT_EQ(PlayPos.load() % 2048, 0);
    Mixer->Unlock();
    Mixer->Stop();
    EXPECT_EQ(wave::PlayedByteCount(0), 0u) << "a bounce plays nothing";
    EXPECT_FALSE(target->IsRecording());
    EXPECT_FALSE(target->GetChannelFile()->Writing.load());

    // The target now holds the bounce (at least up to where the position was seen), then
    // what is left of its own take.
    SuperWaveFile reopened;
    reopened.Open("channel3_");
    const int64_t total = reopened.GetTotalBytes();
    const std::string content = WholeTrack(reopened);
    std::vector<TrackModel> sources = Models();
    sources[3].disabled = true;
    size_t bounced = 0;
    while ((bounced + 1) * 8192 <= content.size() &&
           BufferAsModelled(content.data() + bounced * 8192, 8192, 0, 0,
                            static_cast<int64_t>(bounced), sources))
        ++bounced;
    EXPECT_GE(bounced * 2048, static_cast<size_t>(MsToFrames(others)));
    EXPECT_EQ(total, std::max<int64_t>(200000 * 4, bounced * 8192));
    if (bounced * 8192 < content.size()) {
        EXPECT_TRUE(content.substr(bounced * 8192) == Models()[3].bytes.substr(bounced * 8192));
    }
    EXPECT_EQ(Mixer->GetSongLength_ms(), static_cast<int>(total / 4 * 1000 / 44100));
}

TEST_F(Transport, TwoRealTimeCardsPlayTheirOwnTracksAtOneCardsRateAndStopComesBackAtOnce) {
    OpenCard(0, wave::Pacing::RealTime);
    OpenCard(1, wave::Pacing::RealTime);
    Automate(AddTrack(true, true, 0, 100000, 0), 200, 0.9f, 0.1f);
    AddTrack(false, false, 4096, 60000, 1);
    Automate(AddTrack(false, true, 0, 80000, 1), 400, 1.0f, -0.3f);
    AddTrack(true, false, 2048, 30000, 0);
    wave::TakePlayedBytes(0);
    wave::TakePlayedBytes(1);
    Mixer->Play();
    EXPECT_TRUE(Mixer->IsPlaying_b());
    std::this_thread::sleep_for(200ms);
    const auto t0 = Clock::now();
    const int32_t p0 = PlayPos.load();
    std::this_thread::sleep_for(1000ms);
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    // Whole buffers come back: the position moves in steps of one buffer.
    EXPECT_NEAR(PlayPos.load() - p0, seconds * 44100, 2 * 2048 + 1);
    EXPECT_GT(Mixer->GetPos_ms(), 1000u);

    const int32_t heard = PlayPos.load();
    StopReturnsAtOnce();
    EXPECT_EQ(PlayPos.load() % 1024, 0);
    EXPECT_LE(PlayPos.load(), heard + 2048);
    EXPECT_GE(PlayPos.load(), heard - 1024);
    EXPECT_EQ(MixPos.load(), PlayPos.load());
    for (int card : {0, 1}) {
        SCOPED_TRACE(card);
        const std::string played = wave::TakePlayedBytes(static_cast<unsigned>(card));
        EXPECT_GE(played.size(), 20u * 8192);
        EXPECT_TRUE(PlayedAsModelled(played, card, 0));
    }
}

TEST_F(Transport, PlayWithoutAnOpenCardTellsTheUserToChooseOneAndStaysStopped) {
    AddTrack(true, true, 0, 10000);
    EXPECT_EQ(ThrownMessage<DisplayedError>([] { Mixer->Play(); }),
              "No sound card is open: choose one in Settings.");
    EXPECT_FALSE(Mixer->IsPlaying_b());
    EXPECT_FALSE(FirstBuffer.load());

    // A card that cannot be opened: its error, and the cards before it are closed again.
    OpenCard(0, wave::Pacing::FreeRunning);
    OpenCard(1, wave::Pacing::FreeRunning);
    wave::SetVirtualOpenResult(1, wave::Allocated);
    EXPECT_THROW(Mixer->Play(), DisplayedError);
    EXPECT_FALSE(Mixer->IsPlaying_b());
    wave::SetVirtualOpenResult(1, wave::NoError);
    Mixer->Play();  // card 0 was closed, so it opens again
    EXPECT_TRUE(Mixer->IsPlaying_b());
    Mixer->Stop();
}

namespace {

// Waits until the run ended by itself, then finishes it as the GUI would.
void ExpectRunEndedWithDriverError(const char* why) {
    SCOPED_TRACE(why);
    ASSERT_TRUE(WaitUntil([] { return !Mixer->IsPlaying_b(); }));
    EXPECT_EQ(TakeQueuedErrors(),
              std::vector<std::string>{"No device driver is present.\nDevice: Virtual card 0"})
        << "one error for one failure";
    Mixer->Stop();
    EXPECT_EQ(PlayPos.load() % 1024, 0);
    EXPECT_EQ(MixPos.load(), PlayPos.load());
    ExpectBuffersAtRest();
}

}  // namespace

TEST_F(Transport, ACardLostWhilePlayingEndsTheRunWithItsErrorAndStopIsQuickWhenOneStalls) {
    OpenCard(0, wave::Pacing::RealTime);
    AddTrack(true, true, 0, 441000);

    // Buffers at the device come back failed.
    Mixer->Play();
    std::this_thread::sleep_for(100ms);
    Mixer->Lock();
    wave::SetVirtualFault(0, wave::VirtualFault::Lost);
    Mixer->Unlock();
    ExpectRunEndedWithDriverError("buffers came back failed");

    // The device refuses the next buffer: everything played, nothing queued when it went.
    wave::SetVirtualFault(0, wave::VirtualFault::None);
    wave::SetVirtualPacing(0, wave::Pacing::FreeRunning);
    Mixer->Lock();
    Mixer->Play();
    ASSERT_TRUE(WaitUntil([] { return PlayPos.load() == MixPos.load(); }));
    wave::SetVirtualFault(0, wave::VirtualFault::Lost);
    Mixer->Unlock();
    ExpectRunEndedWithDriverError("the write was refused");

    // Once the card is back, the song plays again; should it stall, Stop still comes back at
    // once, though the player waits for a buffer that never comes.
    wave::SetVirtualFault(0, wave::VirtualFault::None);
    wave::SetVirtualPacing(0, wave::Pacing::RealTime);
    Mixer->Play();
    EXPECT_TRUE(Mixer->IsPlaying_b());
    std::this_thread::sleep_for(100ms);
    wave::SetVirtualFault(0, wave::VirtualFault::Stalled);
    std::this_thread::sleep_for(300ms);
    StopReturnsAtOnce();
    ExpectBuffersAtRest();
    wave::SetVirtualFault(0, wave::VirtualFault::None);
}

namespace {

// The engine on ALSA: the file plug-in (bit-exact, as fast as it is fed) and the clocked test
// card (real time, can stall), declared in an .asoundrc in the test's HOME.
using TransportOnAlsa = OnAlsa<Transport>;

}  // namespace

TEST_F(TransportOnAlsa, ASongPlaysBitExactThroughTheFilePlugIn) {
    const std::string out = PathIn("played.raw");
    UseFileCard(out);
    Mixer->SetPos_ms(1000);
    SongOfSixTracks(42 * 1024);
    Mixer->Play();
    EXPECT_TRUE(WaitUntil([&] {
        std::error_code ignored;
        return std::filesystem::file_size(out, ignored) >= 20 * 8192;
    }));
    Mixer->Stop();
    const std::string played = ReadWholeFile(out);
    ASSERT_GE(played.size(), 20u * 8192);
    EXPECT_TRUE(PlayedAsModelled(played, 0, 42 * 1024));
}

TEST_F(TransportOnAlsa, StopComesBackAtOnceFromAPcmThatNeverConsumes) {
    const std::string stall = PathIn("stalled");
    WriteWholeFile(stall, "");
    UseAsoundrc("pcm_type.zembla_clocked { lib \"" CLOCKED_PCM_PLUGIN
                "\" }\npcm.zembla_clocked { type zembla_clocked stall_when \"" +
                    stall + "\"\n  hint { show on description \"Zembla clocked card\" } }\n",
                "Zembla clocked card");
    AddTrack(true, true, 0, 441000);
    Mixer->Play();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(PlayPos.load(), 0) << "nothing was heard";
    StopReturnsAtOnce();
    ExpectBuffersAtRest();
}

TEST_F(Transport, HundredsOfPlaysMovesAndStopsAtRandomMomentsLeaveEveryBufferInOnePlace) {
    OpenCard(0, wave::Pacing::RealTime);
    OpenCard(1, wave::Pacing::FreeRunning);
    std::vector<Channel*> tracks = {
        AddTrack(true, true, 0, 200000, 0),     AddTrack(false, false, 1024, 90000, 1),
        AddTrack(true, false, 4096, 100000, 0), AddTrack(false, true, 0, 150000, 1),
        AddTrack(true, true, 2048, 60000, 1),
    };
    std::mt19937 random(7);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto expectAtRest = [] {
        ExpectBuffersAtRest(0);
        ExpectBuffersAtRest(1);
    };
    for (int step = 0; step < 400; ++step) {
        try {
            switch (pick(6)) {
                case 0:
                case 1:
                    Mixer->Play();
                    break;
                case 2:
                    Mixer->SetPos(pick(100) * 1000);
                    break;
                case 3:
                    Mixer->SetPos_ms(static_cast<unsigned long>(pick(3000)));
                    break;
                case 4:
                    Mixer->Stop();
                    expectAtRest();
                    break;
                case 5:
                    // Now and then the second card goes away for a moment.
                    wave::SetVirtualFault(
                        1, pick(8) == 0 ? wave::VirtualFault::Lost : wave::VirtualFault::None);
                    break;
            }
        } catch (const OrvellError&) {
            // A card that was lost cannot be opened.
        }
        // The GUI edits while the song plays.
        Channel* track = tracks[static_cast<size_t>(pick(5))];
        switch (pick(5)) {
            case 0:
                track->Enable(!track->IsEnabled());
                break;
            case 1:
                track->SetOffsetVol(static_cast<float>(pick(100)) / 100.0f);
                break;
            case 2:
                track->Fade(static_cast<unsigned long>(pick(2000)),
                            static_cast<unsigned long>(2000 + pick(2000)), EventTypes::VolumeFade,
                            static_cast<float>(pick(100)) / 100.0f);
                break;
            case 3:
                track->RealTimeFade(true, false);
                track->Pan(static_cast<float>(pick(200) - 100) / 100.0f);
                track->RealTimeFade(false, false);
                break;
            case 4:
                track->ClearEvents(pick(2) == 0);
                break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(pick(3000)));
    }
    wave::SetVirtualFault(1, wave::VirtualFault::None);
    Mixer->Stop();
    expectAtRest();
    EXPECT_EQ(MixPos.load(), PlayPos.load());
    for (const std::string& queued : TakeQueuedErrors())
        EXPECT_EQ(queued, "No device driver is present.\nDevice: Virtual card 1");
}
