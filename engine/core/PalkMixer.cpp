#include "core/PalkMixer.h"

#include <cstdio>
#include <new>

#include "core/EngineStatics.h"
#include "core/ErrorQueue.h"
#include "core/MidiFollower.h"
#include "platform/os/Event.h"
#include "platform/os/ProgramDirectory.h"
#include "soundcard/SoundCard.h"
#include "storage/ScratchBuffer.h"
#include "tracks/Channel.h"

PalkMixer::PalkMixer(char /*unused*/)
    : playerStarted_(std::make_unique<Event>(false, false)),
      playerEnded_(std::make_unique<Event>(true, false)),
      midi_(std::make_unique<MidiFollower>()) {
    // Known from the start, so that a program that does not read the settings (the
    // command-line tools) can still load the plug-ins beside it.
    ProgramDirectory = ::ProgramDirectory();
}

PalkMixer::~PalkMixer() {
    try {
        Terminate();
    } catch (const OrvellError&) {
        // The settings could not be saved (the error logged itself). The cards, tracks and
        // plug-ins must still go: their threads and libraries cannot outlive the engine.
    }
    if (!terminated_)
        ReleaseCardsTracksAndPlugins();
}

void PalkMixer::Init(char count, char preMixCount) {
    bufferCount_ = static_cast<int8_t>(count);
    preMixCount_ = static_cast<int8_t>(preMixCount);
    playing = false;
    recording = false;
    ProgramDirectory = ::ProgramDirectory();
    // Running Init again reloads the plug-ins rather than loading each one a second time.
    FreePlugins();
    LoadPlugins(ProgramDirectory + "/Plugins");
    SetPos_ms(0);
    // The events live as long as the engine (a run may be started before the settings are
    // read); a new configuration starts them cleared.
    playerStarted_->Reset();
}

void PalkMixer::SetBufferInfo(int count, int size, int cache) {
    EndRunBeforeChange();
    // A count or size that could never play (no buffer, or buffers under 1024 bytes) keeps
    // the current one, as a damaged settings file does.
    if (count >= 1 && count <= MaxBufferCount) {
        bufferCount_ = static_cast<int8_t>(count);
        preMixCount_ = static_cast<int8_t>(count - 1);
    }
    const uint32_t frames = size > 0 ? static_cast<uint32_t>(size) / 1024 * 1024 : 0;
    ApplyBufferSize(IsUsableBufferSize(frames) ? frames : BufferSize);
    for (Channel* channel : tracks_)
        channel->SetCache(cache);
    CacheSize = cache;
}

bool PalkMixer::IsUsableBufferSize(uint32_t frames) {
    return frames >= MinBufferFrames && frames <= MaxBufferFrames;
}

void PalkMixer::ApplyBufferSize(uint32_t frames) {
    // The mixing block and the scratch block grow first: if memory runs out, the engine keeps
    // the size it had. Without tracks neither exists yet: the first track makes both.
    const size_t bytes = static_cast<size_t>(frames) * 4;
    if (Channel::Data && !Channel::GrowData(bytes))
        throw OrvellError("Out of memory");
    if (ScratchBufferData())
        ResizeScratchBuffer(bytes);
    BufferSize = frames;
    for (SoundCard* card : cards_)
        card->CreateBuffers(bufferCount_, BufferSize);
}

void PalkMixer::GetBufferInfo(int& count, int& size, int& cache) {
    count = bufferCount_;
    // The cache the first track reports; without tracks, the size new tracks will get.
    cache = tracks_.empty() ? CacheSize : tracks_.front()->GetCacheSize();
    size = static_cast<int>(BufferSize);
}

bool PalkMixer::SetSampleRate(unsigned int rate) {
    SampleRate = rate;
    for (Channel* channel : tracks_)
        channel->SetSampleRate(rate);
    for (int i = 0; i < pluginCount_; ++i)
        plugins_[i](6, rate, static_cast<unsigned long>(-1));
    return true;
}

long PalkMixer::GetSampleRate() {
    return static_cast<long>(SampleRate);
}

int PalkMixer::AddCard(char deviceId) {
    EndRunBeforeChange();
    for (SoundCard* card : cards_) {
        if (card->DeviceId == static_cast<int8_t>(deviceId)) {
            OrvellError busy("Soundcard allready in use!");
            busy.Code = 1;
            throw busy;
        }
    }
    SoundCard* card = new (std::nothrow) SoundCard(SoundCard::Antal);
    if (!card)
        throw DisplayedError("Out of memory");
    try {
        card->Init(deviceId);
        cards_.push_back(card);
    } catch (const InternalError&) {
        delete card;
        return 0;
    } catch (...) {
        delete card;
        throw;
    }
    return 1;
}

void PalkMixer::RemoveSoundcards() {
    EndRunBeforeChange();
    for (SoundCard* card : cards_) {
        if (card->HasRecordingFile())
            throw DisplayedError("Disable recording on all tracks before changing settings");
    }
    for (SoundCard* card : cards_)
        delete card;
    cards_.clear();
    cards_.shrink_to_fit();
}

void PalkMixer::GetActiveSoundcards(std::list<std::string>& names) {
    for (size_t i = 0; i < cards_.size(); ++i) {
        char line[300];
        std::snprintf(line, sizeof line, "%d: %s", static_cast<int>(i),
                      cards_[i]->DeviceName.c_str());
        names.emplace_back(line);
    }
}

SoundCard* PalkMixer::GetSoundcard(char index) {
    if (index < 0 || index > SoundCard::Antal - 1)
        return nullptr;
    if (static_cast<size_t>(index) >= cards_.size())
        return nullptr;
    return cards_[static_cast<size_t>(index)];
}

SoundCard* PalkMixer::GetSoundcard(int index) {
    if (index < 0 || static_cast<size_t>(index) >= cards_.size())
        return nullptr;
    return cards_[static_cast<size_t>(index)];
}

Channel* PalkMixer::AddChannel() {
    auto* channel = new Channel();
    AddChannel(channel);
    return channel;
}

void PalkMixer::AddChannel(Channel* channel) {
    channel->Index = static_cast<int8_t>(tracks_.size());
    tracks_.push_back(channel);
}

Channel* PalkMixer::GetChannel(char index) {
    if (index < 0 || index > Channel::Antal - 1)
        return nullptr;
    // Channel::Antal also counts channels not (yet) added to the engine.
    if (static_cast<size_t>(index) >= tracks_.size())
        return nullptr;
    return tracks_[static_cast<size_t>(index)];
}

void PalkMixer::Terminate() {
    if (terminated_)
        return;
    Stop();
    // A MIDI thread still asking the user is waited for here: it must not outlive the engine.
    midi_->Shutdown();
    // An engine whose settings were never read holds only defaults; saving those would wipe
    // the user's choices (a tool that loads the library just to list devices, say).
    if (configured_)
        SaveSettings();
    terminated_ = true;
    ReleaseCardsTracksAndPlugins();
}

void PalkMixer::ReleaseCardsTracksAndPlugins() {
    for (SoundCard* card : cards_)
        delete card;
    cards_.clear();
    activeCards_.clear();
    for (Channel* channel : tracks_)
        delete channel;
    tracks_.clear();
    tracks_.shrink_to_fit();
    FreePlugins();
}

bool PalkMixer::GetLastError(OrvellError& error) {
    std::lock_guard<std::mutex> guard(errorQueueLock_);
    if (ErrorQueue.empty())
        return false;
    error = ErrorQueue.front();
    ErrorQueue.pop_front();
    return true;
}

bool PalkMixer::HasQueuedErrors() {
    std::lock_guard<std::mutex> guard(errorQueueLock_);
    return !ErrorQueue.empty();
}

void PalkMixer::QueueError(const OrvellError& error) {
    std::lock_guard<std::mutex> guard(errorQueueLock_);
    ErrorQueue.push_back(error);
}

void QueueEngineError(const OrvellError& error) {
    // Without an engine (a tool using the storage alone) the error still reaches the log when
    // it is destroyed.
    if (Mixer)
        Mixer->QueueError(error);
}
