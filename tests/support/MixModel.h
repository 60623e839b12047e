#pragma once

// A plain model of what the engine mixes, written frame by frame and independent of the
// engine's own stepping: each track's bytes widened to 16-bit stereo, scaled by the gains of
// the events in effect at each frame, and summed per card with saturation.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/EngineStatics.h"
#include "tracks/ChannelEvent.h"

struct TrackModel {
    bool stereo = true, sixteen = true;
    int card = 0;
    bool disabled = false;
    float offsetVolume = 1.0f, offsetPan = 0.0f;
    int64_t startByte = 0;
    std::string bytes;
    uint32_t cacheLength = 0;
    uint8_t fill = 0;
    bool realtime = false;
    float realtimeVolume = 1.0f, realtimePan = 0.0f;
    EventList volume{{0, 1.0f}}, pan{{0, 0.0f}};

    uint32_t FrameBytes() const { return (stereo ? 2 : 1) * (sixteen ? 2 : 1); }
    bool HasDataIn(int64_t from, int64_t to) const {
        return !bytes.empty() && from < startByte + static_cast<int64_t>(bytes.size()) &&
               to > startByte;
    }
    uint8_t ByteAt(int64_t offset) const {
        if (offset < startByte || offset >= startByte + static_cast<int64_t>(bytes.size()))
            return fill;
        return static_cast<uint8_t>(bytes[static_cast<size_t>(offset - startByte)]);
    }
    // Whether buffer k of a run that started at frame runStart adds anything: without a cache
    // when the buffer holds data; with one, when the cache block it came from (counted from
    // the run's first read) held any.
    bool HeardIn(int64_t runStart, int64_t k) const {
        const int64_t bufferBytes = int64_t{BufferSize} * FrameBytes();
        int64_t from = (runStart + k * BufferSize) * FrameBytes(), length = bufferBytes;
        if (cacheLength) {
            from = runStart * FrameBytes() + k * bufferBytes / cacheLength * cacheLength;
            length = cacheLength;
        }
        return HasDataIn(from, from + length);
    }
};

// The value of the event in effect at frame p: the last one before p, walking from the head
// (so frame 0 has the head's).
inline float InEffect(const EventList& program, int64_t p) {
    size_t pos = 0;
    while (pos + 1 < program.size() && program[pos + 1].Time < p)
        ++pos;
    return program[pos].Value;
}

inline int16_t ModelWiden8(uint8_t b) {
    return static_cast<int16_t>(b * 256 - 32768);
}

inline int16_t Saturate(double v) {
    return static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
}

// One buffer of a track as the model hears it, frame by frame: widened, then scaled by the
// gains in effect at that frame.
inline std::vector<int16_t> ModelTrackBuffer(const TrackModel& t, int64_t start) {
    std::vector<int16_t> out(2 * BufferSize);
    for (uint32_t i = 0; i < BufferSize; ++i) {
        const int64_t at = (start + i) * t.FrameBytes();
        int16_t left, right;
        if (t.sixteen) {
            left = static_cast<int16_t>(t.ByteAt(at) | (t.ByteAt(at + 1) << 8));
            right =
                t.stereo ? static_cast<int16_t>(t.ByteAt(at + 2) | (t.ByteAt(at + 3) << 8)) : left;
        } else {
            left = ModelWiden8(t.ByteAt(at));
            right = t.stereo ? ModelWiden8(t.ByteAt(at + 1)) : left;
        }
        const float v = t.realtime ? t.realtimeVolume : InEffect(t.volume, start + i);
        const float q = t.realtime ? t.realtimePan : InEffect(t.pan, start + i);
        const float V = t.offsetVolume, P = t.offsetPan;
        const float gainLeft = (q < 0 ? v : v - v * q) * (P < 0 ? V : V - V * P);
        const float gainRight = (q < 0 ? v - (-q * v) : v) * (P <= 0 ? V - (-P * V) : V);
        out[2 * i] = Saturate(std::trunc(static_cast<float>(left) * gainLeft));
        out[2 * i + 1] = Saturate(std::trunc(static_cast<float>(right) * gainRight));
    }
    return out;
}

// What card holds after buffer k of a run that started at frame runStart: the sum of every
// enabled track routed to it that is heard there (silence when none is).
inline std::vector<int16_t> ModelCardBuffer(const std::vector<TrackModel>& tracks, int card,
                                            int64_t runStart, int64_t k) {
    std::vector<int16_t> sum(2 * BufferSize, 0);
    bool fresh = true;
    for (const TrackModel& t : tracks) {
        if (t.disabled || t.card != card || !t.HeardIn(runStart, k))
            continue;
        const std::vector<int16_t> samples = ModelTrackBuffer(t, runStart + k * BufferSize);
        for (size_t s = 0; s < sum.size(); ++s)
            sum[s] = fresh ? samples[s] : Saturate(int{sum[s]} + samples[s]);
        fresh = false;
    }
    return sum;
}
