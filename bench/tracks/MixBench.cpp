// Mixing sixteen 16-bit stereo tracks into one card, one 2048-frame buffer per iteration, with
// no automation, with a program of one event every 50 ms, and with a program of 20,000 events.
// The tracks' audio lies 500 s into the song, so a look-up that walked each program from its
// head would pay for the thousands of events before it.
//
// "x_realtime" is how many seconds of audio one second of mixing produces; one buffer's share
// of its period (2048 / 44100 s = 46.4 ms) is 1 / x_realtime.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "soundcard/SoundCard.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"

namespace {

constexpr int Tracks = 16;
constexpr int64_t AudioStartFrame = 500 * 44100 / 1024 * 1024;
constexpr int AudioBuffers = 200;  // about 9 s

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
        CacheSize = static_cast<int32_t>(BufferSize * 100);

        std::string audio(static_cast<size_t>(AudioBuffers) * BufferSize * 4, '\0');
        for (size_t i = 0; i < audio.size(); ++i)
            audio[i] = static_cast<char>(i * 7919 >> 3);
        for (int n = 0; n < Tracks; ++n) {
            Channel* channel = Mixer->AddChannel();
            SuperWaveFile* file = channel->GetChannelFile();
            file->Open("channel" + std::to_string(n) + "_");
            channel->SetFormat(true, true);
            file->SeekFrames(AudioStartFrame);
            file->AppendBytes(audio.data(), audio.size());
            file->Save();
            channel->SetOffsetVol(0.5f);
        }
        card_ = Mixer->GetSoundcard(0);
    }
    ~MixSession() {
        Mixer->Terminate();
        std::filesystem::remove_all(dir_);
    }

    void Program(int kind) {
        for (int n = 0; n < Tracks; ++n) {
            Channel* channel = Mixer->GetChannel(static_cast<char>(n));
            channel->ClearEvents(true);
            // One event every 50 ms up to just past the audio, or 20,000 of them.
            if (kind == 1)
                channel->Fade(0, 511000, EventTypes::VolumeFade, 0.0f);
            if (kind == 2)
                channel->Fade(0, 20000 * 50, EventTypes::VolumeFade, 0.0f);
        }
    }

    void Rewind() {
        MixPos = static_cast<int32_t>(AudioStartFrame);
        FirstBuffer = true;
        card_->CreateBuffers(4, BufferSize);
        card_->NextOutBuffer();
    }

    // One player pass over every track.
    void MixOneBuffer() {
        for (int n = 0; n < Tracks; ++n)
            Mixer->GetChannel(static_cast<char>(n))->Mix();
        FirstBuffer = false;
        MixPos += static_cast<int32_t>(BufferSize);
        if (MixPos >= AudioStartFrame + int64_t{AudioBuffers} * BufferSize) {
            MixPos = static_cast<int32_t>(AudioStartFrame);
            FirstBuffer = true;
        }
    }

  private:
    std::string dir_;
    SoundCard* card_ = nullptr;
};

MixSession& Session() {
    static MixSession* session = new MixSession;
    return *session;
}

void MixSixteenTracks(benchmark::State& state) {
    MixSession& session = Session();
    session.Program(static_cast<int>(state.range(0)));
    session.Rewind();
    for (auto _ : state)
        session.MixOneBuffer();
    const double bufferSeconds = static_cast<double>(BufferSize) / SampleRate;
    const double audioSeconds = static_cast<double>(state.iterations()) * bufferSeconds;
    state.counters["x_realtime"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(MixSixteenTracks)
    ->ArgName("automation")
    ->Arg(0)  // none
    ->Arg(1)  // one event every 50 ms (10,220 events)
    ->Arg(2)  // 20,000 events
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

BENCHMARK_MAIN();
