// The transport: starting and ending a run, the position, and the player thread that mixes
// every track into every active card one buffer at a time.
#include <pthread.h>

#include <algorithm>
#include <limits>
#include <system_error>

#include "core/EngineStatics.h"
#include "core/Log.h"
#include "core/MidiFollower.h"
#include "core/PalkMixer.h"
#include "platform/os/Event.h"
#include "platform/wave/WaveApi.h"
#include "soundcard/SoundCard.h"
#include "tracks/Channel.h"

namespace {

constexpr uint32_t PlayerStartTimeoutMs = 15000;
constexpr uint32_t PlayerEndTimeoutMs = 5000;
// The player takes the track count as an unsigned 8-bit number.
constexpr size_t MaxRunTracks = 255;

int32_t RoundDownTo1024(int32_t frames) {
    return frames / 1024 * 1024;
}

}  // namespace

void PalkMixer::Play() {
    if (playing)
        return;
    // A run that ended by itself (a device failed) is finished before the next one starts.
    if (player_.joinable())
        Stop();

    FirstBuffer = true;
    playing = true;
    activeCards_.clear();
    runTracks_.assign(tracks_.begin(), tracks_.begin() + static_cast<ptrdiff_t>(std::min(
                                                             tracks_.size(), MaxRunTracks)));
    std::exception_ptr ignored;
    size_t handled = 0;
    try {
        for (; handled < cards_.size(); ++handled) {
            SoundCard* card = cards_[handled];
            if (card->InitPlayback(static_cast<int>(SampleRate))) {
                // PlayPos runs with one card alone, so that it keeps the real rate whatever
                // the number of cards.
                card->SetClock(activeCards_.empty());
                activeCards_.push_back(card);
            } else {
                card->SetClock(false);
            }
            card->NextOutBuffer();
        }
    } catch (...) {
        playing = false;
        FirstBuffer = false;
        StopCards(cards_.data(), handled, ignored);
        activeCards_.clear();
        runTracks_.clear();
        throw;
    }
    if (activeCards_.empty()) {
        playing = false;
        FirstBuffer = false;
        StopCards(cards_.data(), handled, ignored);
        runTracks_.clear();
        throw DisplayedError("No sound card is open: choose one in Settings.");
    }

    // The MIDI file is opened now, before the player starts, so that reading it and loading
    // the synthesizer's sounds shift neither the audio nor the MIDI.
    midi_->Prepare(MidiFile);
    // The effects start from silence: nothing of where the song was before rings on.
    for (Channel* track : runTracks_)
        track->ResetPlugins(MixPos.load());
    playerStarted_->Reset();
    playerEnded_->Reset();
    startError_ = nullptr;
    try {
        player_ = std::thread(&PalkMixer::Player, this);
    } catch (const std::system_error&) {
        midi_->Stop();
        playing = false;
        FirstBuffer = false;
        StopCards(cards_.data(), handled, ignored);
        activeCards_.clear();
        runTracks_.clear();
        throw OrvellError("Can't start playback, unknown error");
    }
    if (!playerStarted_->Wait(PlayerStartTimeoutMs)) {
        // A player that cannot start in time is not left running.
        try {
            Stop();
        } catch (const OrvellError&) {
            // The time-out is what the user must hear of.
        }
        throw DisplayedError("Can't start playing");
    }
    if (startError_) {
        // The run failed before the devices started (a track could not be read, a device
        // refused its first buffers): Play fails with that error.
        std::exception_ptr error = startError_;
        startError_ = nullptr;
        try {
            Stop();
        } catch (const OrvellError&) {
            // The first error is the one to report.
        }
        std::rethrow_exception(error);
    }
}

void PalkMixer::Stop() {
    if (!playing && !player_.joinable())
        return;
    const int32_t position = RoundDownTo1024(PlayPos.load());
    // Never waits for a question the MIDI thread is asking.
    midi_->Stop();
    playing = false;
    recording = false;

    std::exception_ptr failure;
    {
        // Taken between two buffer cycles: no card is stopped in the middle of a mix pass.
        std::lock_guard<std::mutex> engine(engineLock_);
        // The takes end first and are finished (the recorders never take the engine lock),
        // then the devices stop.
        for (SoundCard* card : cards_) {
            try {
                card->RecStop(false);
            } catch (...) {
                if (!failure)
                    failure = std::current_exception();
            }
        }
        StopCards(activeCards_.data(), activeCards_.size(), failure);
    }
    if (player_.joinable()) {
        // Stopping the cards woke a player waiting for a buffer; it ends within its cycle.
        if (!playerEnded_->Wait(PlayerEndTimeoutMs))
            WriteLog("The player thread did not end within 5 seconds; still waiting for it");
        player_.join();
    }
    activeCards_.clear();
    for (Channel* track : runTracks_)
        track->Stop();
    runTracks_.clear();
    PlayPos = position;
    MixPos = position;
    if (failure)
        std::rethrow_exception(failure);
}

void PalkMixer::Rec() {
    if (recording)
        return;
    // A negative lag places the take earlier than the heard position: the run starts late
    // enough that the take starts at the song's first frame or after it.
    const int64_t position = std::max<int64_t>(MixPos.load(), -int64_t{SoundCard::LagTime});
    SetPos(static_cast<int>(std::min<int64_t>(position, std::numeric_limits<int32_t>::max())));
    recording = true;
    try {
        if (!playing)
            Play();
        // Between two buffer cycles: the player may be reading an armed track right now, and
        // a take moves the track's position and marks it Writing.
        std::lock_guard<std::mutex> engine(engineLock_);
        for (SoundCard* card : cards_)
            card->RecStart();
    } catch (...) {
        recording = false;
        try {
            Stop();
        } catch (const OrvellError&) {
            // The error that stopped the take is the one to report.
        }
        throw;
    }
}

void PalkMixer::StopCards(SoundCard* const* cards, size_t count, std::exception_ptr& firstError) {
    for (size_t i = 0; i < count; ++i) {
        try {
            cards[i]->StopPlayback();
        } catch (...) {
            if (!firstError)
                firstError = std::current_exception();
        }
    }
}

void PalkMixer::EndRunBeforeChange() {
    if (IsPlaying_b())
        throw DisplayedError("Stop playback before changing settings");
    if (player_.joinable())
        Stop();
}

void PalkMixer::SetPos(int frames) {
    const bool wasPlaying = IsPlaying_b();
    if (wasPlaying || player_.joinable())
        Stop();
    MixPos = frames;
    PlayPos = frames;
    if (wasPlaying)
        Play();
}

void PalkMixer::SetPos_ms(unsigned long ms) {
    const int64_t frames = MsToFrames(static_cast<int64_t>(ms));
    SetPos(static_cast<int>(frames / 1024 * 1024));
}

void PalkMixer::SetMidiFile(std::string name) {
    MidiFile = std::move(name);
}

unsigned long PalkMixer::GetPos_ms() {
    if (SampleRate == 0)
        return 0;
    const auto frames = static_cast<uint32_t>(PlayPos.load());
    return static_cast<unsigned long>(frames * 1000.0 / SampleRate);
}

int PalkMixer::GetSongLength_ms() {
    int64_t longest = 0;
    for (Channel* track : tracks_) {
        if (!track->IsRecording())
            longest = std::max<int64_t>(longest, track->GetTotalLength());
    }
    if (SampleRate == 0)
        return 0;
    return static_cast<int>(longest * 1000 / SampleRate);
}

void PalkMixer::BuildMix(int card, int track) {
    SoundCard* target = GetSoundcard(card);
    if (!target)
        throw DisplayedError("You selected an invalid sound card.");
    Channel* channel = track >= 0 && track <= std::numeric_limits<char>::max()
                           ? GetChannel(static_cast<char>(track))
                           : nullptr;
    if (!channel)
        throw DisplayedError("You selected an invalid track.");
    // Switching a card into bounce mode in the middle of a run would leave its device open.
    if (playing || player_.joinable())
        Stop();
    target->BuildMix(channel);
}

// Player thread from here on: no allocation, no lock but the engine's and the cards' own.

void PalkMixer::MixTracks() {
    for (Channel* track : runTracks_)
        track->Mix();
}

void PalkMixer::ThrowIfADeviceFailed() {
    for (SoundCard* card : activeCards_) {
        if (card->PlaybackFailed())
            throw SoundCard::GetError(wave::NoDriver,
                                      static_cast<uint32_t>(static_cast<int32_t>(card->DeviceId)));
    }
}

void PalkMixer::RunPlayer(bool& started) {
    // Buffer count - 1 buffers (at least one) are mixed before the devices start: each card
    // holds the first current buffer from Play.
    MixTracks();
    MixPos += static_cast<int32_t>(BufferSize);
    FirstBuffer = false;
    for (int k = 1; k < preMixCount_; ++k) {
        for (SoundCard* card : activeCards_) {
            if (!card->NextOutBuffer()) {
                ThrowIfADeviceFailed();
                return;
            }
        }
        MixTracks();
        MixPos += static_cast<int32_t>(BufferSize);
    }
    for (SoundCard* card : activeCards_)
        card->Play();
    started = true;
    // The MIDI file starts where the audio is heard now (a signal only: the MIDI thread does
    // the rest).
    midi_->CardsStarted(GetPos_ms());
    playerStarted_->Set();

    while (playing) {
        // The wait for the devices happens outside the engine lock: Stop takes it at once.
        for (SoundCard* card : activeCards_) {
            if (!card->AwaitFreeBuffer()) {
                ThrowIfADeviceFailed();
                return;
            }
        }
        std::lock_guard<std::mutex> engine(engineLock_);
        if (!playing)
            return;
        for (SoundCard* card : activeCards_) {
            if (!card->NextOutBuffer()) {
                ThrowIfADeviceFailed();
                return;
            }
        }
        MixTracks();
        for (SoundCard* card : activeCards_)
            card->Play();
        MixPos += static_cast<int32_t>(BufferSize);
    }
}

void PalkMixer::Player() {
    // Named, so that it can be told apart in a profiler or a thread list.
    pthread_setname_np(pthread_self(), "zembla-player");
    bool started = false;
    try {
        RunPlayer(started);
    } catch (const OrvellError&) {
        EndRunAfterFailure(std::current_exception(), started);
    } catch (const char* text) {
        // The storage layer's plain-text failures.
        EndRunAfterFailure(std::make_exception_ptr(OrvellError(text)), started);
    } catch (const std::exception& error) {
        EndRunAfterFailure(std::make_exception_ptr(OrvellError(error.what())), started);
    } catch (...) {
        EndRunAfterFailure(std::make_exception_ptr(OrvellError("Playback stopped: unknown error")),
                           started);
    }
    if (!started)
        playerStarted_->Set();
    playerEnded_->Set();
}

void PalkMixer::EndRunAfterFailure(std::exception_ptr error, bool started) {
    // The run ends as a Stop would end it: the devices are reset and closed here, the track
    // files and the position are left to the Stop (or Play) the GUI makes next, and a bounce
    // is saved there, off this thread. The error is queued before the transport shows
    // stopped, so whoever sees it stopped finds the reason.
    std::lock_guard<std::mutex> engine(engineLock_);
    if (!started) {
        startError_ = error;
    } else {
        try {
            std::rethrow_exception(error);
        } catch (const OrvellError& failure) {
            QueueError(failure);
        }
    }
    playing = false;
    recording = false;
    for (SoundCard* card : activeCards_) {
        if (card->IsBouncing())
            continue;
        try {
            card->StopPlayback();
        } catch (...) {
            // The device is failing already; its first error is the one reported.
        }
    }
}
