#include "core/MidiFollower.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/Log.h"
#include "platform/os/Semaphore.h"
#include "platform/os/UserInterface.h"
#include "platform/sequencer/Sequencer.h"

namespace {

using sequencer::Clock;
using sequencer::Result;

// Reading a file and loading a large sound font take a fraction of a second; a run does not
// wait longer than this for it (the MIDI then joins in late, in step).
constexpr auto OpenWait = std::chrono::seconds(10);
// How long a stop waits for the sequencer to stop and close.
constexpr auto StopWait = std::chrono::seconds(5);

}  // namespace

class MidiFollower::Run {
  public:
    Run(std::string file, std::shared_ptr<sequencer::SequencerBackend> backend)
        : file_(std::move(file)), backend_(std::move(backend)), thread_(&Run::Body, this) {}

    ~Run() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            cancelled_ = true;
        }
        wake_.Post();
        thread_.join();
    }

    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // GUI thread.
    void WaitUntilOpened() {
        std::unique_lock<std::mutex> guard(lock_);
        if (!changed_.wait_for(guard, OpenWait, [this] { return phase_ != Phase::Opening; }))
            WriteLog("Opening the MIDI file " + file_ + " takes long; it joins in late");
    }

    // Player thread.
    void CardsStarted(unsigned long positionMs, Clock::time_point at) noexcept {
        positionMs_.store(positionMs, std::memory_order_relaxed);
        startedAt_.store(at.time_since_epoch().count(), std::memory_order_relaxed);
        cardsStarted_.store(true, std::memory_order_release);
        wake_.Post();
    }

    // GUI thread. Returns once the sequencer was stopped and closed, or while the thread is
    // asking the user (it closes the sequencer once answered), or after StopWait.
    void Cancel() {
        std::unique_lock<std::mutex> guard(lock_);
        cancelled_ = true;
        wake_.Post();
        changed_.wait_for(guard, StopWait,
                          [this] { return phase_ == Phase::Finished || phase_ == Phase::Asking; });
        if (phase_ != Phase::Finished && phase_ != Phase::Asking)
            WriteLog("The MIDI sequencer did not stop within 5 seconds");
    }

    bool Finished() {
        std::lock_guard<std::mutex> guard(lock_);
        return phase_ == Phase::Finished;
    }

  private:
    enum class Phase { Opening, Opened, Asking, Started, Finished };

    void SetPhase(Phase phase) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            phase_ = phase;
        }
        changed_.notify_all();
    }

    bool Cancelled() {
        std::lock_guard<std::mutex> guard(lock_);
        return cancelled_;
    }

    void Failed(const char* step, Result result) {
        std::string line = "The MIDI file " + file_ + " does not play along (" + step +
                           "): " + sequencer::ErrorText(result);
        if (const std::string detail = sequencer::TakeErrorDetail(); !detail.empty())
            line += ": " + detail;
        WriteLog(line);
    }

    // The MIDI thread from here on.
    void Body() {
        pthread_setname_np(pthread_self(), "zembla-midi");
        bool portIsMapper = false;
        // Open and status come before the cards start: reading the file and loading the sound
        // font then delay neither the audio nor the MIDI.
        bool opened = Open(portIsMapper);
        SetPhase(Phase::Opened);
        while (!cardsStarted_.load(std::memory_order_acquire) && !Cancelled())
            wake_.Wait();
        if (opened && !Cancelled())
            Start(portIsMapper);
        while (!Cancelled())
            wake_.Wait();
        // A start that failed and closed the device leaves its id here; the stop and close
        // sent to it again then fail, and that is of no consequence.
        if (deviceId_ != 0) {
            backend_->Stop(deviceId_);
            backend_->Close(deviceId_);
            deviceId_ = 0;
        }
        SetPhase(Phase::Finished);
    }

    bool Open(bool& portIsMapper) {
        sequencer::TakeErrorDetail();  // only what the failing command says counts
        uint32_t id = 0;
        if (const Result result = backend_->Open(file_, id); result != sequencer::NoError) {
            Failed("open", result);
            return false;
        }
        deviceId_ = id;
        uint32_t port = 0;
        const Result result = backend_->Status(id, sequencer::StatusItem::OutputPort, port);
        if (result != sequencer::NoError) {
            Failed("status", result);
            backend_->Close(id);
            return false;
        }
        portIsMapper = (port & 0xFFFF) == sequencer::MidiMapperPort;
        return true;
    }

    void Start(bool portIsMapper) {
        const auto heardAt = Clock::time_point(Clock::duration(startedAt_.load()));
        const auto positionMs = static_cast<uint32_t>(positionMs_.load());
        if (!portIsMapper) {
            {
                std::lock_guard<std::mutex> guard(lock_);
                if (cancelled_)
                    return;
                phase_ = Phase::Asking;
            }
            changed_.notify_all();
            // Yes when nobody can be asked: the user chose a file to hear, and the audio plays
            // whatever the answer.
            const bool goOn = AskUser(MapperQuestion, true);
            bool stopped = false;
            {
                std::lock_guard<std::mutex> guard(lock_);
                phase_ = Phase::Started;
                stopped = cancelled_;
            }
            if (stopped) {
                // The run stopped while the question was open: the answer no longer counts.
                backend_->Close(deviceId_);
                deviceId_ = 0;
                return;
            }
            if (!goOn) {
                backend_->Close(deviceId_);
                return;
            }
        }
        backend_->SetTimeFormat(deviceId_, sequencer::TimeFormat::Milliseconds);
        sequencer::TakeErrorDetail();
        if (const Result result = backend_->Play(deviceId_, positionMs, heardAt);
            result != sequencer::NoError) {
            Failed("play", result);
            backend_->Close(deviceId_);
        }
    }

    const std::string file_;
    const std::shared_ptr<sequencer::SequencerBackend> backend_;
    Semaphore wake_;  // posted by the player and by Cancel
    std::atomic<bool> cardsStarted_{false};
    std::atomic<unsigned long> positionMs_{0};
    std::atomic<Clock::rep> startedAt_{0};
    std::mutex lock_;  // the GUI thread and the MIDI thread only, never the player
    std::condition_variable changed_;
    Phase phase_ = Phase::Opening;
    bool cancelled_ = false;
    uint32_t deviceId_ = 0;  // the MIDI thread's
    std::thread thread_;     // last: it starts once everything above exists
};

MidiFollower::MidiFollower() = default;

MidiFollower::~MidiFollower() {
    Shutdown();
}

void MidiFollower::Reclaim() {
    std::erase_if(retired_, [](const std::unique_ptr<Run>& run) { return run->Finished(); });
}

void MidiFollower::Prepare(const std::string& fileName) {
    // No player runs now: the runs it could have signalled may go.
    if (current_)
        Stop();
    Reclaim();
    if (fileName.empty())
        return;
    try {
        current_ = std::make_unique<Run>(fileName, sequencer::CurrentBackend());
    } catch (const std::system_error&) {
        WriteLog("The MIDI file " + fileName + " does not play along: no thread for it");
        return;
    }
    current_->WaitUntilOpened();
    armed_.store(current_.get(), std::memory_order_release);
}

void MidiFollower::CardsStarted(unsigned long positionMs) noexcept {
    if (Run* run = armed_.load(std::memory_order_acquire))
        run->CardsStarted(positionMs, Clock::now());
}

void MidiFollower::Stop() {
    if (!current_)
        return;
    armed_.store(nullptr, std::memory_order_release);
    current_->Cancel();
    // Even a finished run stays until the next Prepare: the player may still be signalling it.
    retired_.push_back(std::move(current_));
}

void MidiFollower::Shutdown() {
    Stop();
    retired_.clear();
}
