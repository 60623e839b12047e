// How fast the track storage feeds playback and the waveform view.
//
//  ReadMixBuffer: one 16-bit stereo track read buffer after buffer into the mixing buffer, as
//  the player does, with the default cache and without a cache. The "x_realtime" counter says
//  how many seconds of audio one second reads (per track).
//
//  BuildPeaks: the level array of a 10-minute 16-bit stereo track at the 10 ms (441-frame)
//  resolution the waveform view uses, with the track in the page cache ("Warm") and read from
//  the disk ("Cold").
//
// The tracks live in a temporary folder under $TMPDIR (or /var/tmp), on a real disk.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/EngineStatics.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"

namespace {

constexpr uint32_t Rate = 44100;

// A temporary folder with one 16-bit stereo track of the given length, made once per process.
class BenchSong {
  public:
    static BenchSong& Get() {
        static BenchSong song;
        return song;
    }
    // The track's base name, its audio written on first use.
    std::string Track(int seconds) {
        std::string base = folder_ + "/track" + std::to_string(seconds) + "_";
        if (std::filesystem::exists(base))
            return base;
        CacheSize = 0;
        SuperWaveFile track;
        track.Open(base);
        WaveFormat format;
        format.FormatTag = WaveFormatPcm;
        format.Channels = 2;
        format.BlockAlign = 4;
        format.BitsPerSample = 16;
        track.SetFormat(format);
        // A gliding tone with some noise: every level byte differs.
        std::vector<int16_t> block(Rate * 2);
        uint32_t noise = 1;
        for (int s = 0; s < seconds; ++s) {
            for (uint32_t i = 0; i < Rate; ++i) {
                double t = s + static_cast<double>(i) / Rate;
                noise = noise * 1664525u + 1013904223u;
                auto value = static_cast<int16_t>(12000 * std::sin(t * (200 + s)) +
                                                  static_cast<int>(noise >> 20) - 2048);
                block[2 * i] = value;
                block[2 * i + 1] = static_cast<int16_t>(value / 2);
            }
            track.AppendBytes(block.data(), block.size() * 2);
        }
        track.Save();
        return base;
    }
    const std::string& Folder() const { return folder_; }

  private:
    BenchSong() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/var/tmp") + "/zembla-bench-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!mkdtemp(buffer.data()))
            std::abort();
        folder_ = buffer.data();
    }
    ~BenchSong() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::string folder_;
};

void DropFromPageCache(const SuperWaveFile& track) {
    for (int i = 0; i < track.GetSegmentCount(); ++i) {
        int fd = ::open(track.GetSegment(i).FileName.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        fdatasync(fd);
        posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

void ReadMixBuffer(benchmark::State& state, bool withCache) {
    BufferSize = DefaultBufferSize;
    const std::string base = BenchSong::Get().Track(60);
    CacheSize = withCache ? static_cast<int32_t>(BufferSize * 100) : 0;
    Channel channel;  // gives Channel::Data
    SuperWaveFile track;
    track.Open(base);
    track.SeekFrames(0);
    int64_t frames = 0;
    for (auto _ : state) {
        if (!track.ReadMixBuffer(Channel::Data)) {
            state.PauseTiming();
            track.SeekFrames(0);
            state.ResumeTiming();
            continue;
        }
        benchmark::DoNotOptimize(Channel::Data[0]);
        frames += BufferSize;
    }
    track.CloseHandles();
    state.SetBytesProcessed(frames * 4);
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(frames) / Rate, benchmark::Counter::kIsRate);
}

void BM_ReadMixBuffer_DefaultCache(benchmark::State& state) {
    ReadMixBuffer(state, true);
}
void BM_ReadMixBuffer_NoCache(benchmark::State& state) {
    ReadMixBuffer(state, false);
}

void BuildPeaks(benchmark::State& state, bool cold) {
    BufferSize = DefaultBufferSize;
    const std::string base = BenchSong::Get().Track(600);
    CacheSize = static_cast<int32_t>(BufferSize * 100);
    SuperWaveFile track;
    track.Open(base);
    const int32_t resolution = 10 * (SampleRate / 1000);  // 10 ms, as the view asks
    for (auto _ : state) {
        state.PauseTiming();
        track.FreePeaks();
        if (cold)
            DropFromPageCache(track);
        state.ResumeTiming();
        track.BuildPeaks(resolution);
    }
    uint8_t* peaks = nullptr;
    int32_t count = 0;
    track.GetPeaks(peaks, count);
    state.counters["levels"] = count;
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(track.GetTotalBytes()));
}

void BM_BuildPeaks_10min_Warm(benchmark::State& state) {
    BuildPeaks(state, false);
}
void BM_BuildPeaks_10min_Cold(benchmark::State& state) {
    BuildPeaks(state, true);
}

}  // namespace

BENCHMARK(BM_ReadMixBuffer_DefaultCache)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_ReadMixBuffer_NoCache)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_BuildPeaks_10min_Warm)->Unit(benchmark::kSecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_BuildPeaks_10min_Cold)->Unit(benchmark::kSecond)->MinTime(3.0)->UseRealTime();
