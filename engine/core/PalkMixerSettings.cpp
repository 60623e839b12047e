// Reading and writing the engine's settings key.
#include <cstdint>
#include <string>

#include "core/EngineStatics.h"
#include "core/Log.h"
#include "core/PalkMixer.h"
#include "platform/os/SettingsStore.h"
#include "soundcard/SoundCard.h"

namespace {

// Values read from disk are checked before they are trusted: a number outside its range is
// treated like a missing value (and said so in the log), so that a damaged settings file
// cannot leave the engine with a zero sample rate or buffer.
bool ReadChecked(const SettingsKey& key, const char* name, uint32_t low, uint32_t high,
                 uint32_t& value) {
    uint32_t read = 0;
    if (!key.QueryDword(name, read))
        return false;
    if (read < low || read > high) {
        WriteLog(std::string("Ignoring setting ") + name + " = " + std::to_string(read) +
                 ": out of range");
        return false;
    }
    value = read;
    return true;
}

constexpr uint32_t MinSampleRate = 1000;
constexpr uint32_t MaxSampleRate = 768000;
constexpr uint32_t MaxCacheKilobytes = INT32_MAX / 1024;
// The string value is read into a buffer of this many bytes, terminating zero included.
constexpr size_t SoundcardsBufferSize = 99;

}  // namespace

void PalkMixer::ReadSettings() {
    // The cards and buffers are replaced below: no run may be using them.
    Stop();
    configured_ = true;
    SettingsKey key;
    if (!key.Open(SettingsKey::DefaultPath())) {
        OrvellError firstStart("Can't read settings from registry. Maybe first time started...");
        firstStart.NotifyUser = false;
        QueueError(firstStart);
    }

    uint32_t rate = SampleRate;
    ReadChecked(key, "SampleRate", MinSampleRate, MaxSampleRate, rate);
    SetSampleRate(rate);

    uint32_t size = BufferSize;
    uint32_t count = static_cast<uint32_t>(bufferCount_);
    // A size whose card buffers would hold under 1024 bytes could never play: it counts as
    // missing, like any other value out of range.
    ReadChecked(key, "BuffSize", MinBufferFrames, MaxBufferFrames, size);
    ReadChecked(key, "BuffCount", 1, MaxBufferCount, count);
    Init(static_cast<char>(count), static_cast<char>(count - 1));
    ApplyBufferSize(size);  // taken as stored, not rounded

    uint32_t cacheKilobytes = 0;
    ReadChecked(key, "CacheSize", 0, MaxCacheKilobytes, cacheKilobytes);
    CacheSize = static_cast<int32_t>(cacheKilobytes * 1024);

    uint32_t lag = 0;
    if (key.QueryDword("LagTime", lag))
        SoundCard::LagTime = static_cast<int32_t>(lag);

    std::string cards;
    if (!key.QueryString("Soundcards", cards))
        cards.clear();
    if (cards.size() > SoundcardsBufferSize - 1)
        cards.resize(SoundcardsBufferSize - 1);
    // A zero byte ends the string, as it would in the fixed buffer.
    cards = cards.c_str();

    for (SoundCard* card : cards_)
        delete card;
    cards_.clear();
    for (char digit : cards)
        AddCard(static_cast<char>(digit - '0'));
}

void PalkMixer::SaveSettings() {
    SettingsKey key;
    if (!key.Create(SettingsKey::DefaultPath()))
        throw OrvellError("Can't write settings to registry.");
    key.SetDword("Samplerate", SampleRate);
    key.SetDword("BuffSize", BufferSize);
    key.SetDword("BuffCount", static_cast<uint32_t>(static_cast<int32_t>(bufferCount_)));
    key.SetDword("CacheSize", static_cast<uint32_t>(CacheSize / 1024));
    key.SetDword("LagTime", static_cast<uint32_t>(SoundCard::LagTime));
    std::string cards;
    for (SoundCard* card : cards_)
        cards.push_back(static_cast<char>('0' + card->DeviceId));
    key.SetString("Soundcards", cards);
    if (!key.Commit())
        throw OrvellError("Can't write settings to registry.");
}
