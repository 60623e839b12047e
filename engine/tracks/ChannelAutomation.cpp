// Editing and looking up a channel's volume and pan programs.
#include <algorithm>
#include <atomic>

#include "core/EngineStatics.h"
#include "tracks/Channel.h"

namespace {

// The play position of the last Volume call of any channel, and where the running realtime
// pass started: one of each for the whole engine, as there is one user dragging one control.
std::atomic<int32_t> lastVolumeFrame{-1};
std::atomic<int32_t> realtimeStartFrame{0};

// Frames to milliseconds in 64 bits, so that positions past 48 s do not overflow.
int64_t FramesToMs(int64_t frames) {
    return SampleRate == 0 ? 0 : frames * 1000 / static_cast<int64_t>(SampleRate);
}

}  // namespace

int Channel::FindFrom(const EventList& program, int frame, EventPosition& pos) {
    while (pos + 1 < program.size() && program[pos + 1].Time <= frame)
        ++pos;
    return pos + 1 < program.size() ? program[pos + 1].Time : -1;
}

int Channel::FindPrevEvent(int frame, bool isVolume, EventPosition& pos) const {
    pos = 0;
    return FindFrom(Program(isVolume), frame, pos);
}

int Channel::FindPrevEvent(int frame, EventPosition& volumePos, EventPosition& panPos) const {
    auto nextVolume = static_cast<uint32_t>(FindPrevEvent(frame, true, volumePos));
    auto nextPan = static_cast<uint32_t>(FindPrevEvent(frame, false, panPos));
    return static_cast<int>(std::min(nextVolume, nextPan));
}

int Channel::CursorFind(uint32_t frame, EventPosition& volumePos, EventPosition& panPos) {
    // Walking on from the previous look-up gives what a walk from the head gives: the event a
    // walk stops at can only move forward as the frame grows.
    if (cursorVersion_ != programVersion_ || frame < cursorFrame_) {
        volumeCursor_ = 0;
        panCursor_ = 0;
        cursorVersion_ = programVersion_;
    }
    cursorFrame_ = frame;
    auto nextVolume =
        static_cast<uint32_t>(FindFrom(VolumeEvents, static_cast<int>(frame), volumeCursor_));
    auto nextPan = static_cast<uint32_t>(FindFrom(PanEvents, static_cast<int>(frame), panCursor_));
    volumePos = volumeCursor_;
    panPos = panCursor_;
    return static_cast<int>(std::min(nextVolume, nextPan));
}

void Channel::ResetProgram(bool isVolume) {
    EventList& program = Program(isVolume);
    program.clear();
    program.push_back({0, isVolume ? 1.0f : 0.0f});
    ++programVersion_;
}

void Channel::ClearEvents(bool isVolume) {
    std::lock_guard<std::mutex> guard(programLock_);
    ResetProgram(isVolume);
}

void Channel::ClearEvents(unsigned int from_ms, unsigned int to_ms, bool isVolume) {
    std::lock_guard<std::mutex> guard(programLock_);
    ClearRange(from_ms, to_ms, isVolume);
}

void Channel::ClearRange(unsigned int from_ms, unsigned int to_ms, bool isVolume) {
    EventList& program = Program(isVolume);
    // Walk from the head up to the first event past to_ms, keeping those at or before from_ms.
    size_t kept = 0;
    size_t i = 0;
    for (; i < program.size(); ++i) {
        auto ms = static_cast<uint64_t>(FramesToMs(program[i].Time));
        if (ms > to_ms)
            break;
        if (ms <= from_ms)
            program[kept++] = program[i];
    }
    program.erase(program.begin() + static_cast<ptrdiff_t>(kept),
                  program.begin() + static_cast<ptrdiff_t>(i));
    ++programVersion_;
    if (program.empty())
        ResetProgram(isVolume);
}

void Channel::Fade(unsigned long from_ms, unsigned long to_ms, EventTypes::EventType type,
                   float target) {
    std::lock_guard<std::mutex> guard(programLock_);
    ClearRange(static_cast<unsigned int>(from_ms), static_cast<unsigned int>(to_ms), true);

    const int32_t start = static_cast<int32_t>(MsToFrames(static_cast<int64_t>(from_ms)));
    EventPosition pos = 0;
    FindPrevEvent(start, true, pos);
    float v = VolumeEvents[pos].Value;

    // A reversed range is empty (rather than a count that wraps around to millions of steps).
    const unsigned long steps = to_ms > from_ms ? (to_ms - from_ms) / FadeResolution_ms : 0;
    const auto stepFrames = static_cast<int32_t>(MsToFrames(FadeResolution_ms));
    if (type != EventTypes::VolumeFade || steps == 0)
        return;

    const float increment = (target - v) / static_cast<float>(steps);
    EventList staircase;
    staircase.reserve(steps);
    int32_t t = start;
    for (unsigned long step = 0; step < steps; ++step) {
        v += increment;
        staircase.push_back({t, v});
        t += stepFrames;
    }
    // Each step goes right after the previous one: all of them as one block after pos.
    VolumeEvents.insert(VolumeEvents.begin() + static_cast<ptrdiff_t>(pos + 1), staircase.begin(),
                        staircase.end());
    ++programVersion_;
}

void Channel::Volume(float v) {
    std::lock_guard<std::mutex> guard(programLock_);
    const int32_t now = PlayPos.load();
    if (now == lastVolumeFrame && !RealtimeVolumeEvents.empty())
        RealtimeVolumeEvents.pop_back();
    lastVolumeFrame = now;
    RealtimeVolume = v;
    RealtimeVolumeEvents.push_back({now, v});
}

void Channel::Pan(float p) {
    std::lock_guard<std::mutex> guard(programLock_);
    RealtimePan = p;
    RealtimePanEvents.push_back({PlayPos.load(), p});
}

void Channel::RealTimeFade(bool start, bool isVolume) {
    std::lock_guard<std::mutex> guard(programLock_);
    EventList& recorded = isVolume ? RealtimeVolumeEvents : RealtimePanEvents;
    const int32_t now = PlayPos.load();
    if (start) {
        recorded.clear();
        realtimeStartFrame = now;
        EventPosition volumePos = 0, panPos = 0;
        FindPrevEvent(now, volumePos, panPos);
        RealtimePan = PanEvents[panPos].Value;
        RealtimeVolume = VolumeEvents[volumePos].Value;
        RealtimeActive = true;
        return;
    }

    RealtimeActive = false;
    ClearRange(static_cast<unsigned int>(FramesToMs(realtimeStartFrame)),
               static_cast<unsigned int>(FramesToMs(now)), isVolume);
    EventPosition pos = 0;
    FindPrevEvent(now, isVolume, pos);
    EventList& program = Program(isVolume);
    program.insert(program.begin() + static_cast<ptrdiff_t>(pos + 1), recorded.begin(),
                   recorded.end());
    ++programVersion_;
    recorded.clear();
}

void Channel::GetRealtimeVolPan(float& volume, float& pan) {
    std::lock_guard<std::mutex> guard(programLock_);
    EventPosition volumePos = 0, panPos = 0;
    FindPrevEvent(PlayPos.load(), volumePos, panPos);
    volume = VolumeEvents[volumePos].Value;
    pan = PanEvents[panPos].Value;
}

EventList Channel::GetVolumeEvents() const {
    std::lock_guard<std::mutex> guard(programLock_);
    return VolumeEvents;
}

EventList Channel::GetPanEvents() const {
    std::lock_guard<std::mutex> guard(programLock_);
    return PanEvents;
}
