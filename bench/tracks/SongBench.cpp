// Saving and opening a song of 16 tracks with 10,000 automation events each (a volume and a
// pan program of 5,000 events), in a folder under /var/tmp (a real disk: a save syncs its
// files). "ms" is the wall time of one save or one opening.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "tracks/Channel.h"

namespace {

constexpr int Tracks = 16;
constexpr int EventsPerProgram = 5000;

void RecordProgram(Channel* channel, bool isVolume) {
    PlayPos = 100;
    channel->RealTimeFade(true, isVolume);
    for (int i = 1; i <= EventsPerProgram; ++i) {
        PlayPos = i * 441;
        isVolume ? channel->Volume(0.5f + static_cast<float>(i % 100) / 100)
                 : channel->Pan(static_cast<float>(i % 200) / 100 - 1);
    }
    channel->RealTimeFade(false, isVolume);
    PlayPos = 0;
}

// The song, made once per process.
const std::string& Song() {
    static const std::string folder = [] {
        const std::string path = "/var/tmp/zembla-song-bench-" + std::to_string(::getpid());
        std::filesystem::remove_all(path);
        for (int i = 0; i < Tracks; ++i)
            Mixer->AddChannel();
        Mixer->NewProject(path.c_str());
        for (int i = 0; i < Tracks; ++i) {
            Channel* channel = Mixer->GetChannel(static_cast<char>(i));
            channel->SetFormat(true, true);
            RecordProgram(channel, true);
            RecordProgram(channel, false);
        }
        Mixer->SaveProject();
        return path;
    }();
    return folder;
}

void Report(benchmark::State& state, std::chrono::duration<double, std::milli> total) {
    state.counters["ms"] = total.count() / static_cast<double>(state.iterations());
}

void SaveSong(benchmark::State& state) {
    Mixer->LoadProject(Song().c_str());
    std::chrono::duration<double, std::milli> total{};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Mixer->SaveProject();
        total += std::chrono::steady_clock::now() - start;
    }
    Report(state, total);
}
BENCHMARK(SaveSong)->Unit(benchmark::kMillisecond)->UseRealTime();

void OpenSong(benchmark::State& state) {
    std::chrono::duration<double, std::milli> total{};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Mixer->LoadProject(Song().c_str());
        total += std::chrono::steady_clock::now() - start;
        if (Mixer->GetChannel(char{15})->GetPanEvents().size() != EventsPerProgram + 1)
            state.SkipWithError("the song did not open whole");
    }
    Report(state, total);
}
BENCHMARK(OpenSong)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Song();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    chdir("/");
    std::filesystem::remove_all(Song());
    return 0;
}
