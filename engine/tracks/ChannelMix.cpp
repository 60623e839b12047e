// A channel's share of each output buffer. Everything here runs on the player thread: no
// allocation, no I/O beyond the track's own read, the program lock only for the gain pass and
// the effects lock only while the chain runs.
#include <algorithm>
#include <cmath>
#include <limits>

#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "soundcard/SoundCard.h"
#include "storage/SampleKernels.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"

void Channel::Mix() {
    const auto start = static_cast<uint32_t>(MixPos.load());
    if (FirstBuffer)
        File->SeekFrames(start);
    if (File->Writing)
        return;

    SoundCard* card = Mixer ? Mixer->GetSoundcard(static_cast<char>(CardIndex)) : nullptr;
    // A silent track (disabled, on a muted card, or routed to a card that is not open) keeps
    // its read position in step with the song.
    // (So does one when the mixing block is smaller than a buffer, which ApplyBufferSize never
    // allows: reading into it would overrun it.)
    if (Disabled || !card || card->Muted_b() || dataBytes_ < size_t{BufferSize} * 4) {
        File->SeekFrames(static_cast<int64_t>(start) + BufferSize);
        return;
    }
    const bool effects = fxOn_ && !fxChainEmpty_;
    if (!File->ReadMixBuffer(Data)) {
        // A gap or the end of the track adds nothing, unless an effect may still sound in it
        // (an echo's tail): the chain then runs on silence.
        if (!effects)
            return;
        std::fill_n(Data, size_t{BufferSize} * 2, short{0});
    }
    if (effects)
        RunChain(start);
    VolMix(start);
    PostLevel();
    card->Mix(Data);
}

void Channel::PostLevel() {
    const float level =
        static_cast<float>(SampleKernels::PeakMagnitude(Data, size_t{BufferSize} * 2)) / 32768.0f;
    // Keeps the highest level until the meter takes it; the meter's exchange may come between
    // the load and the store, which only starts the next reading with this buffer's level.
    float held = level_.load(std::memory_order_relaxed);
    while (level > held && !level_.compare_exchange_weak(held, level, std::memory_order_relaxed)) {
    }
}

void Channel::MixToCardBuffer() {
    SoundCard* card = Mixer ? Mixer->GetSoundcard(static_cast<char>(CardIndex)) : nullptr;
    if (card)
        card->Mix(Data);
}

void Channel::VolMix(uint32_t start) {
    std::lock_guard<std::mutex> guard(programLock_);
    const uint32_t frames = BufferSize;
    uint32_t i = 0;
    uint32_t p = start;
    while (i < frames) {
        float v, q;
        uint32_t next;
        if (RealtimeActive) {
            v = RealtimeVolume;
            q = RealtimePan;
            next = std::numeric_limits<uint32_t>::max();
        } else {
            // Frame p takes the gains of the last event before it, so the look-up is made for
            // p - 1: an event at a buffer's first frame acts from the frame after it, as it
            // does anywhere else. Frame 0 comes before every event but the head.
            EventPosition volumePos = 0, panPos = 0;
            next = static_cast<uint32_t>(p == 0 ? FindPrevEvent(-1, volumePos, panPos)
                                                : CursorFind(p - 1, volumePos, panPos));
            v = VolumeEvents[volumePos].Value;
            q = PanEvents[panPos].Value;
        }
        // Linear pan law, no boost at the centre.
        float left, right;
        if (q < 0) {
            left = v;
            right = v - (-q * v);
        } else {
            left = v - v * q;
            right = v;
        }
        const float offsetVolume = OffsetVolume;
        const float offsetPan = OffsetPan;
        const float offsetLeft =
            offsetPan < 0 ? offsetVolume : offsetVolume - offsetVolume * offsetPan;
        const float offsetRight =
            offsetPan <= 0 ? offsetVolume - (-offsetPan * offsetVolume) : offsetVolume;
        // A value read from a damaged song may be NaN or infinite: such a gain is silence.
        float gainLeft = left * offsetLeft;
        float gainRight = right * offsetRight;
        if (!std::isfinite(gainLeft))
            gainLeft = 0.0f;
        if (!std::isfinite(gainRight))
            gainRight = 0.0f;

        // Frames p..next keep these gains: the frame at the next event's own time still has
        // them. At least one frame per step, so that no program can stall the pass. With no
        // next event (next is the largest frame) the gains hold to the end of the buffer.
        const uint32_t remaining = frames - i;
        uint32_t run = 1;
        if (next == std::numeric_limits<uint32_t>::max())
            run = remaining;
        else if (p <= next)
            run = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{next} - p + 1, remaining));
        SampleKernels::ScaleStereo(Data + 2 * size_t{i}, run, gainLeft, gainRight);
        i += run;
        p += run;
    }
}
