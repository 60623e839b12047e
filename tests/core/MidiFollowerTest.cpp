// The MIDI file that plays along: what the engine sends the sequencer and when, the question
// when there is no MIDI mapper, and runs that stop while it is open; on the recording
// sequencer, and on FluidSynth itself.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "core/MidiFollower.h"
#include "core/TransportTestSupport.h"
#include "platform/os/UserInterface.h"
#include "platform/sequencer/FluidSynthBackend.h"
#include "platform/sequencer/RecordingSequencer.h"
#include "support/MidiFiles.h"

using namespace std::chrono_literals;
using namespace midi_bytes;
using sequencer::RecordingSequencer;
using sequencer::SequencerCommand;

namespace {

// Answers the engine's questions from any thread; while held, a question waits until it is
// released (as a message box waits for the user).
class QuestionHook : public UserInterface {
  public:
    QuestionHook() { SetUserInterface(this); }
    ~QuestionHook() override { SetUserInterface(nullptr); }

    void ShowMessage(const std::string&) override {}
    bool AskYesNo(const std::string& text, bool) override {
        std::unique_lock<std::mutex> guard(lock_);
        questions_.push_back(text);
        changed_.notify_all();
        changed_.wait(guard, [this] { return !held_; });
        return answer_;
    }

    void Answer(bool yes) {
        std::lock_guard<std::mutex> guard(lock_);
        answer_ = yes;
    }
    void Hold() {
        std::lock_guard<std::mutex> guard(lock_);
        held_ = true;
    }
    void Release(bool yes) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            held_ = false;
            answer_ = yes;
        }
        changed_.notify_all();
    }
    bool WaitForQuestions(size_t count) {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, 20s, [&] { return questions_.size() >= count; });
    }
    std::vector<std::string> Questions() {
        std::lock_guard<std::mutex> guard(lock_);
        return questions_;
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::string> questions_;
    bool held_ = false;
    bool answer_ = true;
};

size_t MidiThreads() {
    return ThreadsNamed("zembla-midi").size();
}

// The frames SetPos_ms moves to, heard as milliseconds: ms at 44 frames a millisecond, rounded
// down to 1024 frames, back to milliseconds at 44100 frames a second.
unsigned long HeardAfterSetPos(unsigned long ms) {
    const unsigned long frames = ms * 44 / 1024 * 1024;
    return frames * 1000 / 44100;
}

class MidiFollowing : public TransportTest {
  protected:
    void SetUp() override {
        TransportTest::SetUp();
        sequencer::UseBackend(recorder_);
        ASSERT_EQ(Mixer->AddCard(0), 1);
        AddTrack(true, true, 0, 44100 * 10);
        // A piano from the start; notes at 1100-1400 ms and from 2000 ms; a controller at
        // 1500 ms (a tick is a millisecond).
        song_ = PathIn("song.mid");
        WriteWholeFile(song_, Header(0, 1, 500) +
                                  Track(Tempo(0, 500000) + Message(0, {0xC0, 0}) +
                                        Message(1100, {0x90, 60, 100}) +
                                        Message(300, {0x80, 60, 0}) + Message(100, {0xB0, 7, 90}) +
                                        Message(500, {0x90, 64, 80}) + EndOfTrack()));
    }
    void TearDown() override {
        TransportTest::TearDown();
        sequencer::UseDefaultBackend();
    }

    std::string Names() const { return recorder_->CommandNames(); }
    bool WaitForNames(const std::string& names) {
        return WaitUntil([&] { return Names() == names; }, 20000);
    }
    SequencerCommand Command(const std::string& name, int nth = 0) const {
        for (const SequencerCommand& command : recorder_->Commands())
            if (command.name == name && nth-- == 0)
                return command;
        ADD_FAILURE() << "no " << name << " in " << Names();
        return {};
    }
    bool LogMentions(const std::string& text) const {
        for (const std::string& line : LogLines())
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }
    // The audio goes on: the heard position moves.
    void ExpectAudioPlays() {
        EXPECT_TRUE(Mixer->IsPlaying_b());
        const int32_t before = PlayPos.load();
        EXPECT_TRUE(WaitUntil([&] { return PlayPos.load() > before + 4096; }));
    }

    // Plays without the mapper; the user has not answered the question yet.
    void PlayWhileTheQuestionWaits() {
        recorder_->SetMapperAvailable(false);
        hook_.Hold();
        Mixer->SetMidiFile(song_);
        Mixer->Play();
        ASSERT_TRUE(hook_.WaitForQuestions(1));
    }

    std::shared_ptr<RecordingSequencer> recorder_ = std::make_shared<RecordingSequencer>();
    QuestionHook hook_;  // outlives the engine's MIDI threads: the engine goes in TearDown
    std::string song_;
};

}  // namespace

TEST_F(MidiFollowing, WithoutAFileNothingIsSentAndAFileThatCannotBeOpenedOnlyTellsTheLog) {
    Mixer->SetMidiFile(song_);
    Mixer->SetMidiFile("");
    Mixer->Play();
    Mixer->SetPos_ms(500);
    Mixer->Stop();
    EXPECT_EQ(Names(), "");
    EXPECT_EQ(MidiThreads(), 0u);

    Mixer->SetMidiFile(PathIn("missing.mid"));
    Mixer->Play();
    ExpectAudioPlays();
    Mixer->Stop();
    EXPECT_EQ(Names(), "open");
    EXPECT_EQ(Command("open").result, sequencer::FileNotFound);
    EXPECT_TRUE(TakeQueuedErrors().empty()) << "silent for the user";
    EXPECT_TRUE(LogMentions("missing.mid does not play along (open)"));
}

TEST_F(MidiFollowing, TheFileStartsWhereTheAudioIsHeardItsEventsFollowInStepAndAMoveStartsItAgain) {
    Mixer->SetMidiFile(song_);
    Mixer->SetPos_ms(1000);
    const unsigned long heard = HeardAfterSetPos(1000);
    ASSERT_NE(heard, 1000u) << "the position heard differs from the one asked for";
    Mixer->Play();
    ASSERT_TRUE(WaitForNames("open status time format play")) << Names();
    const uint32_t device = Command("open").deviceId;
    EXPECT_NE(device, 0u);
    EXPECT_EQ(Command("open").file, song_);
    for (const char* name : {"status", "time format", "play"})
        EXPECT_EQ(Command(name).deviceId, device) << name;
    EXPECT_EQ(Command("play").value, heard);
    EXPECT_TRUE(hook_.Questions().empty()) << "the mapper is there: nothing to ask";

    // The piano is set up at once; the rest comes at its file time less the start.
    const std::vector<sequencer::SoundedEvent> sounded = recorder_->Sounded();
    ASSERT_EQ(sounded.size(), 5u);
    EXPECT_EQ(sounded[0].event.status, 0xC0);
    EXPECT_LT(sounded[0].event.atMs, sequencer::LateNoteToleranceMs);
    const double starts[] = {1100, 1400, 1500, 2000};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_DOUBLE_EQ(sounded[i + 1].event.atMs, starts[i] - static_cast<double>(heard));
    EXPECT_EQ(sounded[1].event.status, 0x90);
    EXPECT_EQ(sounded[1].event.data1, 60);
    EXPECT_EQ(sounded[3].event.status, 0xB0);
    EXPECT_EQ(MidiThreads(), 1u);

    // Moving while playing stops the file and starts it again at the new place.
    Mixer->SetPos_ms(1500);
    const std::string twice =
        "open status time format play stop close open status time format play";
    ASSERT_TRUE(WaitForNames(twice)) << Names();
    EXPECT_EQ(Command("play", 1).value, HeardAfterSetPos(1500));
    EXPECT_NE(Command("open", 1).deviceId, device);

    Mixer->Stop();
    EXPECT_EQ(Names(), twice + " stop close");
    EXPECT_EQ(Command("stop").deviceId, device);
    EXPECT_EQ(Command("close").result, sequencer::NoError);
    EXPECT_EQ(recorder_->OpenDevices(), 0u);
    // The stopped run's thread ends on its own; it is joined at the next run or at the end.
    EXPECT_TRUE(WaitUntil([] { return MidiThreads() == 0; })) << "the run's thread ended";
}

TEST_F(MidiFollowing, AFailedStartClosesTheDeviceAndTheNextStopIgnoresWhatItsCommandsAnswer) {
    recorder_->FailCommand("play", sequencer::Hardware);
    Mixer->SetMidiFile(song_);
    Mixer->Play();
    ASSERT_TRUE(WaitForNames("open status time format play close"));
    ExpectAudioPlays();
    EXPECT_NO_THROW(Mixer->Stop());
    EXPECT_EQ(Names(), "open status time format play close stop close");
    EXPECT_EQ(Command("stop").result, sequencer::InvalidDeviceId);
    EXPECT_EQ(Command("close", 1).result, sequencer::InvalidDeviceId);
    EXPECT_TRUE(TakeQueuedErrors().empty());
    EXPECT_TRUE(LogMentions("song.mid does not play along (play)"));

    // A status that fails closes the device before any question or play.
    recorder_->FailCommand("play", sequencer::NoError);
    recorder_->FailCommand("status", sequencer::Hardware);
    recorder_->SetMapperAvailable(false);
    Mixer->Play();
    ASSERT_TRUE(WaitForNames("open status time format play close stop close open status close"));
    Mixer->Stop();
    EXPECT_TRUE(hook_.Questions().empty());
    EXPECT_EQ(recorder_->OpenDevices(), 0u);
}

TEST_F(MidiFollowing, WithoutTheMapperTheUserIsAskedAndNoPlaysTheAudioWithoutMidi) {
    recorder_->SetMapperAvailable(false);
    hook_.Answer(false);
    Mixer->SetMidiFile(song_);
    Mixer->Play();
    ASSERT_TRUE(WaitForNames("open status close"));
    EXPECT_EQ(hook_.Questions(), std::vector<std::string>{MidiFollower::MapperQuestion});
    EXPECT_EQ(hook_.Questions()[0], "The MIDI mapper is not available. Continue?");
    ExpectAudioPlays();
    EXPECT_TRUE(recorder_->Sounded().empty());
    EXPECT_NO_THROW(Mixer->Stop());
    EXPECT_EQ(Names(), "open status close stop close");

    // Yes plays the file as with the mapper.
    hook_.Answer(true);
    Mixer->Play();
    ASSERT_TRUE(WaitForNames("open status close stop close open status time format play"));
    EXPECT_EQ(hook_.Questions().size(), 2u);
    EXPECT_FALSE(recorder_->Sounded().empty());
    Mixer->Stop();
    EXPECT_EQ(recorder_->OpenDevices(), 0u);
}

TEST_F(MidiFollowing, AStopWhileTheQuestionIsOpenReturnsAtOnceAndTheLateAnswerOnlyClosesTheFile) {
    ASSERT_NO_FATAL_FAILURE(PlayWhileTheQuestionWaits());
    // The GUI thread stops while the question waits for it.
    auto stopped = std::async(std::launch::async, [] { Mixer->Stop(); });
    ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready) << "Stop waited for the answer";
    stopped.get();
    EXPECT_FALSE(Mixer->IsPlaying_b());
    EXPECT_EQ(Names(), "open status");
    EXPECT_EQ(MidiThreads(), 1u) << "still asking";

    // "Yes" comes after the stop: nothing plays, the file is closed and the thread ends.
    hook_.Release(true);
    ASSERT_TRUE(WaitForNames("open status close"));
    EXPECT_TRUE(WaitUntil([] { return MidiThreads() == 0; }));
    EXPECT_TRUE(recorder_->Sounded().empty());
    EXPECT_EQ(recorder_->OpenDevices(), 0u);

    // The next run is a run like any other.
    Mixer->Play();
    ASSERT_TRUE(WaitForNames("open status close open status time format play"));
    Mixer->Stop();
    EXPECT_EQ(recorder_->OpenDevices(), 0u);
}

TEST_F(MidiFollowing, ShuttingDownWaitsForAQuestionStillOpenAndLeavesNoThreadBehind) {
    ASSERT_NO_FATAL_FAILURE(PlayWhileTheQuestionWaits());
    Mixer->Stop();
    auto terminated = std::async(std::launch::async, [] { Mixer->Terminate(); });
    EXPECT_EQ(terminated.wait_for(300ms), std::future_status::timeout)
        << "the engine went while its MIDI thread was still asking";
    hook_.Release(false);
    ASSERT_EQ(terminated.wait_for(10s), std::future_status::ready);
    terminated.get();
    EXPECT_EQ(MidiThreads(), 0u);
    EXPECT_EQ(Names(), "open status close");
}

TEST_F(MidiFollowing, PlaysMovesAndStopsAtRandomMomentsWithSlowAnswersCloseEveryDevice) {
    std::mt19937 random(20261207);
    Mixer->SetMidiFile(song_);
    for (int step = 0; step < 40; ++step) {
        recorder_->SetMapperAvailable(random() % 2 == 0);
        const bool hold = random() % 3 == 0;
        if (hold)
            hook_.Hold();
        hook_.Answer(random() % 2 == 0);
        Mixer->Play();
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 30));
        if (random() % 2 == 0)
            Mixer->SetPos_ms(random() % 3000);
        if (hold) {
            // The user takes a while to answer, and the run goes on meanwhile.
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 20));
            hook_.Release(random() % 2 == 0);
        }
        Mixer->Stop();
    }
    Mixer->Terminate();
    EXPECT_EQ(recorder_->OpenDevices(), 0u);
    EXPECT_EQ(MidiThreads(), 0u);
    // Every device that opened was closed, and nothing was sent to one after its close but
    // the stop and close of a failed start.
    std::set<uint32_t> opened, closed;
    for (const SequencerCommand& command : recorder_->Commands()) {
        if (command.name == "open" && command.result == sequencer::NoError)
            opened.insert(command.deviceId);
        if (command.name == "close")
            closed.insert(command.deviceId);
        if (command.name == "play" || command.name == "time format" || command.name == "status") {
            EXPECT_EQ(closed.count(command.deviceId), 0u) << command.name;
        }
    }
    EXPECT_EQ(opened, closed);
}

TEST_F(MidiFollowing, OnFluidSynthAMissingSoundFontAsksTheQuestionAndTheAudioPlaysOn) {
    // No sound font, and a sound device that does not exist (whatever this machine has).
    setenv("ZEMBLA_SOUNDFONT", PathIn("missing.sf2").c_str(), 1);
    setenv("ZEMBLA_MIDI_DEVICE", "zembla_no_such_pcm", 1);
    sequencer::UseBackend(std::make_shared<sequencer::FluidSynthBackend>());
    Mixer->SetMidiFile(song_);
    hook_.Answer(false);
    Mixer->Play();
    ASSERT_TRUE(hook_.WaitForQuestions(1));
    EXPECT_EQ(hook_.Questions()[0], MidiFollower::MapperQuestion);
    ExpectAudioPlays();
    Mixer->Stop();

    // Yes: the synth cannot reach a sound device, which is logged; the audio plays on.
    hook_.Answer(true);
    Mixer->Play();
    ASSERT_TRUE(hook_.WaitForQuestions(2));
    ExpectAudioPlays();
    EXPECT_TRUE(WaitUntil([&] { return LogMentions("song.mid does not play along (play)"); }));
    Mixer->Stop();
    EXPECT_TRUE(TakeQueuedErrors().empty());
    unsetenv("ZEMBLA_SOUNDFONT");
    unsetenv("ZEMBLA_MIDI_DEVICE");
}
