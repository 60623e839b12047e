// The player's cost of one 2048-frame buffer.
//
// MixSixteenTracks: sixteen 16-bit stereo tracks mixed into one card, one buffer per iteration,
// with these programs on every track:
//   0  none (offset volume 0.5: every sample is scaled)
//   1  a volume program of one event every 50 ms up to just past the audio (10,220 events)
//   2  a volume program of 20,000 events
//   3  volume and pan programs of 10,000 events each, both with events all through the audio
//   4  none at unity gain (the gain pass has nothing to do)
// The tracks' audio lies 500 s into the song, so a look-up that walked each program from its
// head would pay for the thousands of events before it. "direct" picks the set of tracks: their
// segment files opened unbuffered (as the engine opens them when it has a cache: writes go
// O_DIRECT) or buffered, with the same cache size. Reads go through the page cache in both, so
// the two should agree; a difference would show a read path that bypasses it.
//
// MixSixteenTracksWithEcho: the tracks of automation 0, "echo" 1 with the Echo effect (from
// the Plugins folder beside the program) in each track's chain, "echo" 0 the same without.
//
// ReadSixteenTracks: the reads of the same tracks alone (ReadMixBuffer: the track cache, its
// refills from the segment files, the widening copy).
//
// Kernel benchmarks: one track's buffer through each sample kernel, scalar or vector version.
//
// "x_realtime" is how many seconds of audio one second of work produces; "period_pct" is the
// share of one buffer's period (2048 / 44100 s = 46.4 ms) taken, in percent; both by the wall
// clock. For the kernels both count sixteen tracks' worth of the work.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <list>
#include <random>
#include <string>
#include <vector>

#include "core/EngineStatics.h"
#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "soundcard/SoundCard.h"
#include "storage/SampleKernels.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"

namespace {

constexpr int Tracks = 16;
constexpr int64_t AudioStartFrame = 500 * 44100 / 1024 * 1024;
constexpr int AudioBuffers = 200;  // about 9 s
constexpr unsigned long AudioEndMs = 511000;

double BufferSeconds() {
    return static_cast<double>(BufferSize) / SampleRate;
}

// Runs body once per iteration, body's work being buffersPerIteration buffers' worth of audio,
// and sets the two counters from the wall-clock time of the whole loop.
template <class Body>
void TimeBuffers(benchmark::State& state, double buffersPerIteration, Body body) {
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        body();
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double audioSeconds =
        static_cast<double>(state.iterations()) * buffersPerIteration * BufferSeconds();
    state.counters["x_realtime"] = audioSeconds / elapsed;
    state.counters["period_pct"] = 100 * elapsed / audioSeconds;
}

class MixSession {
  public:
    MixSession() {
        char pattern[] = "/tmp/zembla-mixbench-XXXXXX";
        dir_ = mkdtemp(pattern);
        setenv("HOME", dir_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        if (chdir(dir_.c_str()) != 0)
            std::abort();
        wave::UseVirtualCards(1);
        Mixer->ReadSettings();
        Mixer->AddCard(0);
        const auto cacheBytes = static_cast<int32_t>(BufferSize * 100);

        std::string audio(static_cast<size_t>(AudioBuffers) * BufferSize * 4, '\0');
        for (size_t i = 0; i < audio.size(); ++i)
            audio[i] = static_cast<char>(i * 7919 >> 3);
        // Tracks 0..15 open their segment files unbuffered, tracks 16..31 buffered: a track
        // made while CacheSize is 0 keeps buffered files after it gets its cache.
        for (int n = 0; n < 2 * Tracks; ++n) {
            CacheSize = n < Tracks ? cacheBytes : 0;
            Channel* channel = Mixer->AddChannel();
            channel->SetCache(cacheBytes);
            SuperWaveFile* file = channel->GetChannelFile();
            file->Open("channel" + std::to_string(n) + "_");
            channel->SetFormat(true, true);
            file->SeekFrames(AudioStartFrame);
            file->AppendBytes(audio.data(), audio.size());
            file->Save();
        }
        CacheSize = cacheBytes;
        card_ = Mixer->GetSoundcard(0);
    }
    ~MixSession() {
        Mixer->Terminate();
        std::filesystem::remove_all(dir_);
    }

    void Choose(bool direct) { first_ = direct ? 0 : Tracks; }

    void Program(int kind) {
        for (int n = 0; n < 2 * Tracks; ++n) {
            Channel* channel = Mixer->GetChannel(static_cast<char>(n));
            channel->ClearEvents(true);
            channel->ClearEvents(false);
            channel->SetOffsetVol(kind == 4 ? 1.0f : 0.5f);
            if (kind == 1)
                channel->Fade(0, AudioEndMs, EventTypes::VolumeFade, 0.0f);
            if (kind == 2)
                channel->Fade(0, 20000 * 50, EventTypes::VolumeFade, 0.0f);
            if (kind == 3)
                VolumeAndPanPrograms(channel, 10000);
        }
    }

    void Rewind() {
        MixPos = static_cast<int32_t>(AudioStartFrame);
        FirstBuffer = true;
        card_->CreateBuffers(4, BufferSize);
        card_->NextOutBuffer();
        for (int n = 0; n < 2 * Tracks; ++n)
            Mixer->GetChannel(static_cast<char>(n))->GetChannelFile()->SeekFrames(AudioStartFrame);
        readBuffers_ = 0;
    }

    // One player pass over every track of the chosen set.
    void MixOneBuffer() {
        for (int n = first_; n < first_ + Tracks; ++n)
            Mixer->GetChannel(static_cast<char>(n))->Mix();
        FirstBuffer = false;
        MixPos += static_cast<int32_t>(BufferSize);
        if (MixPos >= AudioStartFrame + int64_t{AudioBuffers} * BufferSize) {
            MixPos = static_cast<int32_t>(AudioStartFrame);
            FirstBuffer = true;
        }
    }

    // Puts the Echo effect on every track of the chosen set, or takes it off.
    void Echo(bool on) {
        for (int n = first_; n < first_ + Tracks; ++n) {
            Channel* channel = Mixer->GetChannel(static_cast<char>(n));
            std::list<std::string> names;
            channel->GetPlugins(names);
            const bool has = !names.empty();
            try {
                if (on && !has)
                    channel->AddPlugin("Echo");
                if (!on && has)
                    channel->RemovePlugin("Echo");
            } catch (const OrvellError& error) {
                std::fprintf(stderr, "mix_bench: %s\n", error.Message.c_str());
                std::exit(1);
            }
        }
    }

    // The reads of that pass alone.
    void ReadOneBuffer() {
        const bool wrap = ++readBuffers_ == AudioBuffers;
        for (int n = first_; n < first_ + Tracks; ++n) {
            SuperWaveFile* file = Mixer->GetChannel(static_cast<char>(n))->GetChannelFile();
            benchmark::DoNotOptimize(file->ReadMixBuffer(Channel::Data));
            if (wrap)
                file->SeekFrames(AudioStartFrame);
        }
        if (wrap)
            readBuffers_ = 0;
    }

  private:
    // count volume events (a drawn fade) and count pan events (a realtime pass), one of each
    // every 50 ms up to just past the audio, the pan events halfway between the volume ones.
    static void VolumeAndPanPrograms(Channel* channel, int count) {
        const unsigned long from = AudioEndMs - 50ul * static_cast<unsigned long>(count);
        channel->Fade(from, AudioEndMs, EventTypes::VolumeFade, 0.0f);
        auto frameAt = [](double ms) { return static_cast<int32_t>(ms * SampleRate / 1000); };
        PlayPos = frameAt(static_cast<double>(from));
        channel->RealTimeFade(true, false);
        for (int k = 0; k < count; ++k) {
            PlayPos = frameAt(static_cast<double>(from) + 25 + 50.0 * k);
            channel->Pan(static_cast<float>(std::sin(k * 0.1)));
        }
        PlayPos = frameAt(AudioEndMs);
        channel->RealTimeFade(false, false);
    }

    std::string dir_;
    SoundCard* card_ = nullptr;
    int first_ = 0;
    int readBuffers_ = 0;
};

// Made by the first benchmark that needs it, ended by main (with its song folder) before the
// engine object goes away.
MixSession* theSession = nullptr;

MixSession& Session() {
    if (!theSession)
        theSession = new MixSession;
    return *theSession;
}

void MixSixteenTracks(benchmark::State& state) {
    MixSession& session = Session();
    session.Choose(state.range(1) != 0);
    session.Program(static_cast<int>(state.range(0)));
    session.Rewind();
    TimeBuffers(state, 1, [&] { session.MixOneBuffer(); });
}

void MixSixteenTracksWithEcho(benchmark::State& state) {
    MixSession& session = Session();
    session.Choose(true);
    session.Program(0);
    session.Echo(state.range(0) != 0);
    session.Rewind();
    TimeBuffers(state, 1, [&] { session.MixOneBuffer(); });
    session.Echo(false);
}

void ReadSixteenTracks(benchmark::State& state) {
    MixSession& session = Session();
    session.Choose(state.range(0) != 0);
    session.Rewind();
    TimeBuffers(state, 1, [&] { session.ReadOneBuffer(); });
}

// One track's buffer: BufferSize frames of random samples, or the bytes of a track buffer.
std::vector<int16_t> RandomSamples(size_t count) {
    std::mt19937 random(7);
    std::vector<int16_t> samples(count);
    for (int16_t& s : samples)
        s = static_cast<int16_t>(random());
    return samples;
}

// Format 0: 8-bit stereo, 1: 16-bit mono, 2: 8-bit mono.
void WidenOneBuffer(benchmark::State& state) {
    const auto format = state.range(0);
    const bool vector = state.range(1) != 0;
    const size_t frames = BufferSize;
    const std::vector<int16_t> track = RandomSamples(frames);  // 2 * frames bytes, enough for all
    const auto* in = reinterpret_cast<const uint8_t*>(track.data());
    std::vector<int16_t> out(2 * frames);
    TimeBuffers(state, 1.0 / Tracks, [&] {
        if (format == 0)
            (vector ? SampleKernels::Widen8 : SampleKernels::Widen8Scalar)(out.data(), in,
                                                                           2 * frames);
        if (format == 1)
            (vector ? SampleKernels::Mono16ToStereo : SampleKernels::Mono16ToStereoScalar)(
                out.data(), in, frames);
        if (format == 2)
            (vector ? SampleKernels::Mono8ToStereo : SampleKernels::Mono8ToStereoScalar)(
                out.data(), in, frames);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    });
}

// Unity 0: gains 0.7 and 0.4; 1: unity on both sides.
void ScaleOneBuffer(benchmark::State& state) {
    const bool unity = state.range(0) != 0;
    const bool vector = state.range(1) != 0;
    const float left = unity ? 1.0f : 0.7f, right = unity ? 1.0f : 0.4f;
    std::vector<int16_t> samples = RandomSamples(2 * size_t{BufferSize});
    TimeBuffers(state, 1.0 / Tracks, [&] {
        (vector ? SampleKernels::ScaleStereo : SampleKernels::ScaleStereoScalar)(
            samples.data(), BufferSize, left, right);
        benchmark::DoNotOptimize(samples.data());
        benchmark::ClobberMemory();
    });
}

void MixIntoCardBuffer(benchmark::State& state) {
    const bool vector = state.range(0) != 0;
    const std::vector<int16_t> track = RandomSamples(2 * size_t{BufferSize});
    std::vector<int16_t> card(track.size(), 0);
    TimeBuffers(state, 1.0 / Tracks, [&] {
        (vector ? SampleKernels::MixSaturating : SampleKernels::MixSaturatingScalar)(
            card.data(), track.data(), card.size());
        benchmark::DoNotOptimize(card.data());
        benchmark::ClobberMemory();
    });
}

}  // namespace

BENCHMARK(MixSixteenTracks)
    ->ArgNames({"automation", "direct"})
    ->ArgsProduct({{0, 1, 2, 3, 4}, {1, 0}})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(MixSixteenTracksWithEcho)
    ->ArgName("echo")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(ReadSixteenTracks)
    ->ArgName("direct")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(WidenOneBuffer)
    ->ArgNames({"format", "vector"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kNanosecond)
    ->UseRealTime();
BENCHMARK(ScaleOneBuffer)
    ->ArgNames({"unity", "vector"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kNanosecond)
    ->UseRealTime();
BENCHMARK(MixIntoCardBuffer)
    ->ArgName("vector")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kNanosecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete theSession;
    return 0;
}
