// Recording through the engine: takes on virtual cards and through ALSA's file plug-in, where
// they land (the lag), what they hold (byte for byte what the card delivered), arming rules,
// and takes that end because the disk, the device or the whole process failed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "core/ThrownMessage.h"
#include "core/TransportTestSupport.h"
#include "platform/wave/BackendSelection.h"
#include "platform/wave/WaveApi.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "soundcard/SoundCard.h"
#include "soundcard/WaveBuff.h"
#include "support/NumberedFrames.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

constexpr uint32_t BufferFrames = 2048;

bool AllZeroFrom(const std::string& bytes, size_t from) {
    return bytes.find_first_not_of('\0', from) == std::string::npos;
}

uint64_t FramesIn(Clock::duration elapsed) {
    return static_cast<uint64_t>(std::chrono::duration<double>(elapsed).count() * 44100);
}

class Recording : public TransportTest {
  protected:
    void TearDown() override {
        SoundCard::LagTime = 0;
        TransportTest::TearDown();
    }
    // Virtual card 0 in real time, its input frames numbered from 1.
    SoundCard* NumberedInputCard() {
        wave::SetVirtualCaptureSource(0,
                                      wave::VirtualCaptureSource::Pcm(NumberedFrames(1, 2000000)));
        return OpenCard(0, wave::Pacing::RealTime);
    }
    // A new stereo 16-bit track on card, with the cache a track gets by default, armed.
    Channel* ArmedTrack(int card = 0, int cacheBytes = static_cast<int>(BufferSize) * 100) {
        Channel* channel = NewTrack();
        channel->SetCache(cacheBytes);
        if (card != 0)
            channel->SetSoundCard(static_cast<char>(card));
        channel->Rec();
        return channel;
    }
    static bool RecordFor(SoundCard* card, uint64_t buffers) {
        const uint64_t until = card->RecordedBufferCount() + buffers;
        return WaitUntil([&] { return card->RecordedBufferCount() >= until; });
    }
    // The bytes of the track's one piece, and where it starts.
    static std::string Piece(Channel* channel, int32_t& start) {
        SuperWaveFile* file = channel->GetChannelFile();
        const std::vector<int32_t> pieces = file->GetSegments();
        if (pieces.size() != 3)
            return {};
        start = pieces[0];
        std::string bytes(static_cast<size_t>(pieces[2]), '\0');
        file->ReadAt(start, reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
        return bytes;
    }
    // Every input buffer is back with the card, none left at the device.
    static void ExpectTakeClosed(SoundCard* card) {
        EXPECT_FALSE(card->IsCapturing());
        for (size_t i = 0; i < card->InputBufferCount(); ++i) {
            EXPECT_FALSE(card->InputBuffer(i).Prepared()) << i;
            EXPECT_EQ(card->InputBuffer(i).Header()->Flags & wave::HeaderInQueue, 0u) << i;
        }
    }
};

}  // namespace

TEST_F(Recording, ATakeHoldsTheCardsInputFromTheMomentRecordingStartedAtPlayPosPlusLag) {
    SoundCard* card = NumberedInputCard();
    AddTrack(true, true, 0, 300000);
    AddTrack(false, true, 4096, 200000);
    SoundCard::LagTime = 3000;
    Mixer->SetPos(10240);

    const auto beforeArm = Clock::now();
    Channel* take = ArmedTrack();
    const auto armed = Clock::now();
    EXPECT_EQ(Mixer->GetSongLength_ms(), 300000 * 1000 / 44100) << "the armed track is left out";
    std::this_thread::sleep_for(300ms);
    wave::TakePlayedBytes(0);
    const auto beforeRec = Clock::now();
    Mixer->Rec();
    const auto recording = Clock::now();
    ASSERT_TRUE(RecordFor(card, 12));
    Mixer->Stop();
    ExpectTakeClosed(card);

    // The other tracks played meanwhile, the armed one stayed silent.
    EXPECT_TRUE(PlayedAsModelled(wave::TakePlayedBytes(0), 0, 10240));
    int32_t start = -1;
    const std::string bytes = Piece(take, start);
    EXPECT_EQ(start, (10240 + 3000) * 4 / 1024 * 1024 + 1024) << "rounded up to 1024 bytes";
    const size_t run = NumberedRun(bytes);
    EXPECT_GE(run, 12u * BufferFrames);
    EXPECT_TRUE(AllZeroFrom(bytes, run * 4)) << "the take ends in silence, not in old input";
    // The first frame is the one that arrived when the take started, not when the track was
    // armed.
    const uint32_t first = FrameNumber(bytes, 0) - 1;
    EXPECT_GE(first, FramesIn(beforeRec - armed));
    EXPECT_LE(first, FramesIn(recording - beforeArm) + BufferFrames);
    EXPECT_TRUE(take->IsRecording()) << "still armed after the stop";
    take->StopRec();
    EXPECT_FALSE(card->HasRecordingFile());
}

TEST_F(Recording, ANegativeLagStartsTheRunLaterAndASecondTakeOverwritesTheFirstInPlace) {
    SoundCard* card = NumberedInputCard();
    Channel* take = ArmedTrack();

    // Before the song's start the lag leaves no room: refused, with the lag named.
    SoundCard::LagTime = -1000;
    PlayPos = 500;
    EXPECT_EQ(ThrownMessage<DisplayedError>([&] { card->RecStart(); }),
              "You use a lag compensation of -1000 samples. Please record from a position "
              "after that time");
    const auto before = Clock::now();
    card->RecStop(false);  // armed, never started: nothing to wait for
    EXPECT_LT(Clock::now() - before, 100ms);

    Mixer->SetPos(0);
    Mixer->Rec();
    EXPECT_GE(PlayPos.load(), 1000) << "the run starts where the lag allows";
    ASSERT_TRUE(RecordFor(card, 40));
    Mixer->Stop();
    int32_t start = -1;
    const std::string first = Piece(take, start);
    EXPECT_EQ(start, 0);
    const size_t firstRun = NumberedRun(first);
    ASSERT_GE(firstRun, 40u * BufferFrames);

    SoundCard::LagTime = 0;
    wave::SetVirtualCaptureSource(0,
                                  wave::VirtualCaptureSource::Pcm(NumberedFrames(5000000, 500000)));
    Mixer->SetPos(4 * BufferFrames);
    Mixer->Rec();
    ASSERT_TRUE(RecordFor(card, 3));
    Mixer->Stop();
    const std::string both = Piece(take, start);
    ASSERT_EQ(both.size(), first.size()) << "the second take lies inside the first";
    EXPECT_EQ(start, 0);
    const size_t at = 4 * BufferFrames * 4;
    EXPECT_EQ(both.substr(0, at), first.substr(0, at));
    const std::string second = both.substr(at);
    const size_t secondRun = NumberedRun(second);
    EXPECT_GE(FrameNumber(second, 0), 5000000u);
    EXPECT_GE(secondRun, 3u * BufferFrames);
    // Padded with silence to a multiple of the buffer length (taken as bytes); from there on
    // the first take is as it was.
    const size_t secondEnd = at + (secondRun * 4 + 2047) / 2048 * 2048;
    EXPECT_TRUE(AllZeroFrom(both.substr(0, secondEnd), at + secondRun * 4));
    EXPECT_EQ(both.substr(secondEnd), first.substr(secondEnd));
}

TEST_F(Recording, ArmingAndDisarmingFollowTheTransportAndTheCardsOneTrack) {
    Channel* channels[4] = {NewTrack(), NewTrack(), NewTrack(), NewTrack()};
    EXPECT_EQ(ThrownMessage<DisplayedError>([&] { channels[3]->Rec(); }),
              "No soundcard for channel 3");
    EXPECT_FALSE(channels[3]->IsRecording());

    SoundCard* card = OpenCard(0, wave::Pacing::RealTime);
    OpenCard(1, wave::Pacing::RealTime);
    channels[0]->Rec();
    auto expectRefused = [](Channel* channel, const char* text) {
        EXPECT_EQ(ThrownMessage<OrvellError>([&] { channel->Rec(); }), text);
        EXPECT_FALSE(channel->IsRecording());
    };
    expectRefused(channels[1], "Soundcard allready busy!");
    channels[2]->SetSoundCard(1);
    wave::SetVirtualOpenResult(1, wave::Allocated);
    expectRefused(channels[2],
                  "The specified resource is already allocated.\nDevice: Virtual card 1");
    EXPECT_FALSE(Mixer->GetSoundcard(1)->HasRecordingFile());
    wave::SetVirtualOpenResult(1, wave::NoError);

    Mixer->Play();
    expectRefused(channels[2], "Enable R before starting.");
    for (auto edit : {+[](Channel* c) { c->ClearData(); }, +[](Channel* c) { c->ClearData(0, 10); },
                      +[](Channel* c) { c->ImportWav("any.wav", 0); }})
        EXPECT_EQ(ThrownMessage<DisplayedError>([&] { edit(channels[1]); }),
                  "Stop playback before changing a track's audio.");
    EXPECT_EQ(ThrownMessage<DisplayedError>([&] { channels[0]->StopRec(); }),
              "Disable R after stopping.");
    EXPECT_TRUE(channels[0]->IsRecording());
    Mixer->Stop();
    channels[0]->StopRec();
    EXPECT_FALSE(channels[0]->IsRecording());
    EXPECT_FALSE(card->HasRecordingFile());
    EXPECT_EQ(channels[0]->GetTotalLength(), 0) << "armed and disarmed, nothing recorded";
}

TEST_F(Recording, TakesStartedAndStoppedAtRandomMomentsEachCloseWithEveryBufferAccountedFor) {
    // Capture as fast as buffers are given back: the recorder re-queues while the takes end.
    SoundCard* card = OpenCard(0, wave::Pacing::FreeRunning);
    wave::SetVirtualCaptureSource(0, wave::VirtualCaptureSource::TestSignal());
    Channel* take = ArmedTrack();
    std::mt19937 random(9);
    for (int i = 0; i < 60; ++i) {
        Mixer->SetPos(0);
        Mixer->Rec();
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 5000));
        Mixer->Stop();
        ExpectTakeClosed(card);
        if (HasFailure())
            FAIL() << "take " << i;
    }
    EXPECT_EQ(TakeQueuedErrors(), std::vector<std::string>{});
    EXPECT_GT(take->GetTotalLength(), 0);
    take->StopRec();
}

namespace {

// A take that ends by itself: a failure in the middle of it.
class FailingTake : public Recording {
  protected:
    // Records, makes fail() happen, and checks that the take ended on its own with the error
    // queued and what came before kept, readable after the track is opened again.
    void ExpectTakeKeptAfter(const std::string& reason, const std::function<void()>& fail) {
        card_ = NumberedInputCard();
        Channel* take = ArmedTrack();
        Mixer->Rec();
        ASSERT_TRUE(RecordFor(card_, 30));
        const uint64_t before = card_->RecordedBufferCount();
        fail();
        ASSERT_TRUE(WaitUntil([&] { return !card_->IsCapturing(); }, 5000))
            << "the take ends without a Stop";
        EXPECT_THAT(TakeQueuedErrors(),
                    Contains(AllOf(StartsWith("Recording on Virtual card 0 stopped: "),
                                   HasSubstr(reason))));
        try {
            Mixer->Stop();
        } catch (const OrvellError&) {
            // A lost card may refuse to close; the take is what matters here.
        }
        take->StopRec();

        SuperWaveFile reopened;
        reopened.Open("channel" + std::to_string(take->GetIndex()) + "_");
        ASSERT_EQ(reopened.GetSegmentCount(), 1);
        EXPECT_GE(NumberedRun(WholeTrack(reopened)), (before - 1) * BufferFrames - 51200);
    }
    SoundCard* card_ = nullptr;
};

}  // namespace

TEST_F(FailingTake, AFullDiskEndsTheTakeWithTheErrorQueuedAndKeepsWhatWasWritten) {
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previous = signal(SIGXFSZ, SIG_IGN);
    ExpectTakeKeptAfter("File too large", [&] {
        // No file may grow past what the take holds now, plus a little.
        struct stat info {};
        ASSERT_EQ(stat("channel0_1", &info), 0);
        struct rlimit limit = saved;
        limit.rlim_cur = static_cast<rlim_t>(info.st_size) + 64 * 1024;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    });
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
}

TEST_F(FailingTake, ACardUnpluggedInTheMiddleEndsTheTakeAndKeepsWhatItDelivered) {
    ExpectTakeKeptAfter("No device driver is present.",
                        [] { wave::SetVirtualFault(0, wave::VirtualFault::Lost); });
    wave::SetVirtualFault(0, wave::VirtualFault::None);
}

TEST_F(Recording, ATakeSurvivesTheProcessBeingKilledInTheMiddleOfIt) {
    // The child records; it forks before any engine thread exists, so it is whole.
    const std::string progress = PathIn("progress");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        wave::SetVirtualPacing(0, wave::Pacing::RealTime);
        wave::SetVirtualCaptureSource(0,
                                      wave::VirtualCaptureSource::Pcm(NumberedFrames(1, 2000000)));
        if (Mixer->AddCard(0) != 1)
            _exit(3);
        SoundCard* card = Mixer->GetSoundcard(0);
        // A cache of 4.6 s: only the take's own syncs bring its audio to the disk in time.
        ArmedTrack(0, 100 * 8192);
        Mixer->Rec();
        for (;;) {
            WriteWholeFile(progress + ".new", std::to_string(card->RecordedBufferCount()));
            std::filesystem::rename(progress + ".new", progress);
            std::this_thread::sleep_for(10ms);
        }
    }
    auto recorded = [&] {
        std::string text = FileExists(progress) ? ReadWholeFile(progress) : "";
        return text.empty() ? 0ul : std::stoul(text);
    };
    EXPECT_TRUE(WaitUntil([&] { return recorded() >= 90; }));
    const unsigned long written = recorded();
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself: " << status;

    SuperWaveFile track;
    track.Open("channel0_");
    ASSERT_EQ(track.GetSegmentCount(), 1) << "listed from its first byte";
    EXPECT_EQ(track.Format.BlockAlign, 4) << "the format is on disk too";
    const std::string bytes = WholeTrack(track);
    // What the recorder wrote is on disk in order, all but at most the last second (and the
    // buffer the progress report may lag behind).
    const size_t run = NumberedRun(bytes);
    EXPECT_EQ(run * 4, bytes.size()) << "nothing but the input";
    EXPECT_GE(run * 4 + 44100 * 4 + 2 * 8192, written * BufferFrames * 4);
}

namespace {

using RecordingOnAlsa = OnAlsa<Recording>;

}  // namespace

TEST_F(RecordingOnAlsa, ATakeThroughTheFilePlugInIsItsInputFileByteForByte) {
    const std::string in = PathIn("input.raw");
    WriteWholeFile(in, NumberedFrames(1, 44100 * 20));
    UseFileCard(PathIn("played.raw"), in);
    SoundCard* card = Mixer->GetSoundcard(0);
    Channel* take = ArmedTrack();
    Mixer->Rec();
    ASSERT_TRUE(RecordFor(card, 20));
    EXPECT_GT(card->GetInputMeterValue(), 0) << "the input level shows";
    Mixer->Stop();
    take->StopRec();

    int32_t start = -1;
    const std::string bytes = Piece(take, start);
    EXPECT_EQ(start, 0);
    const size_t run = NumberedRun(bytes);
    EXPECT_GE(run, 20u * BufferFrames);
    EXPECT_EQ(bytes.substr(0, run * 4), ReadWholeFile(in).substr(0, run * 4));
    EXPECT_TRUE(AllZeroFrom(bytes, run * 4));
}
