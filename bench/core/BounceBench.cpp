// Bouncing 16 stereo 16-bit tracks of 10 minutes at 44100 Hz into one, as whole processes that
// bench/bounce/run-bounce-bench.sh times against sox and ecasound mixing the same tracks.
//
//   bounce_bench generate FOLDER   writes the tracks and their WAVE exports (once)
//   bounce_bench bounce FOLDER     bounces them into a 17th track on a free-running virtual
//                                  card, checks the result, prints seconds and x real time
//   bounce_bench reads FOLDER      reads the tracks as the player does, one buffer of every
//                                  track per cycle, and prints how long each cycle's reads took
//
// Options (bounce, reads): --cache=BYTES each track's cache (default 100 buffers, as the engine
// gives a new track; 0: none); --cold drops the tracks from the page cache first. reads only:
// --paced waits for each buffer's time as a card playing in real time would (the disk then
// has the time between buffers to read ahead); --seconds=S of audio (default 60).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "BounceSong.h"
#include "core/EngineStatics.h"
#include "core/OrvellError.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string mode;
    std::string folder;
    int32_t cache = static_cast<int32_t>(DefaultBufferSize * 100);
    bool cold = false;
    bool paced = false;
    double seconds = 60;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    if (argc < 3)
        return false;
    options.mode = argv[1];
    options.folder = argv[2];
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--cache=", 0) == 0)
            options.cache = std::atoi(arg.c_str() + 8);
        else if (arg.rfind("--seconds=", 0) == 0)
            options.seconds = std::atof(arg.c_str() + 10);
        else if (arg == "--cold")
            options.cold = true;
        else if (arg == "--paced")
            options.paced = true;
        else
            return false;
    }
    return options.mode == "generate" || options.mode == "bounce" || options.mode == "reads";
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[at];
}

int Generate(const Options& options) {
    const Clock::time_point start = Clock::now();
    BounceSong song(options.folder, 0);
    song.Generate();
    std::printf("generated %d tracks of %lld frames and their WAVE exports in %.1f s\n",
                BounceSong::Tracks, static_cast<long long>(BounceSong::Frames),
                std::chrono::duration<double>(Clock::now() - start).count());
    return 0;
}

int Bounce(const Options& options) {
    BounceSong song(options.folder, options.cache);
    song.OpenTracks();
    if (options.cold)
        song.DropFromPageCache();
    const BounceSong::BounceResult result = song.Bounce();
    const int64_t compared = song.CheckMix();
    const double audio = static_cast<double>(BounceSong::Frames) / BounceSong::Rate;
    std::printf("bounce: %.3f s, %.0f x real time (%.0f s of audio, cache %d bytes%s)\n",
                result.seconds, audio / result.seconds, audio, options.cache,
                options.cold ? ", cold" : "");
    std::printf(
        "bounced %lld frames (%lld past the song's end, silent); %lld frames equal the "
        "saturating sum of the tracks\n",
        static_cast<long long>(result.frames),
        static_cast<long long>(result.frames - BounceSong::Frames),
        static_cast<long long>(compared));
    return 0;
}

int Reads(const Options& options) {
    BounceSong song(options.folder, options.cache);
    song.OpenTracks();
    if (options.cold)
        song.DropFromPageCache();
    const auto buffers = static_cast<int64_t>(options.seconds * BounceSong::Rate / BufferSize);
    const std::chrono::duration<double> period(static_cast<double>(BufferSize) / BounceSong::Rate);
    for (int n = 0; n < BounceSong::Tracks; ++n)
        song.Track(n)->GetChannelFile()->SeekFrames(0);

    if (buffers < 2)
        throw std::runtime_error("--seconds is shorter than two buffers");
    std::vector<double> cycles;
    cycles.reserve(static_cast<size_t>(buffers));
    int64_t empty = 0;
    const Clock::time_point start = Clock::now();
    for (int64_t k = 0; k < buffers; ++k) {
        if (options.paced)
            std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                                      period * static_cast<double>(k)));
        const Clock::time_point before = Clock::now();
        for (int n = 0; n < BounceSong::Tracks; ++n)
            empty += !song.Track(n)->GetChannelFile()->ReadMixBuffer(Channel::Data);
        cycles.push_back(std::chrono::duration<double, std::micro>(Clock::now() - before).count());
    }
    for (int n = 0; n < BounceSong::Tracks; ++n)
        song.Track(n)->CloseFiles();
    if (empty != 0) {
        std::fprintf(stderr, "%lld track buffers read nothing\n", static_cast<long long>(empty));
        return 1;
    }

    double total = 0;
    for (double cycle : cycles)
        total += cycle;
    const double budget = std::chrono::duration<double, std::micro>(period).count();
    // The first buffers are mixed before the card starts: only the later ones can be late.
    const double first = cycles.front();
    cycles.erase(cycles.begin());
    const double worst = Percentile(cycles, 1.0);
    std::printf("reads: %lld buffers of %u frames of %d tracks, cache %d bytes%s%s\n",
                static_cast<long long>(buffers), BufferSize, BounceSong::Tracks, options.cache,
                options.cold ? ", cold" : "", options.paced ? ", paced" : "");
    std::printf(
        "  per track and buffer %.2f us; all tracks of one buffer: first %.1f us, then "
        "median %.1f us, p99 %.1f us, max %.1f us (%.2f%% of the buffer's %.1f ms)\n",
        total / static_cast<double>(buffers) / BounceSong::Tracks, first, Percentile(cycles, 0.5),
        Percentile(cycles, 0.99), worst, 100 * worst / budget, budget / 1000);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s generate|bounce|reads FOLDER [--cache=BYTES] [--cold] [--paced] "
                     "[--seconds=S]\n",
                     argv[0]);
        return 2;
    }
    try {
        if (options.mode == "generate")
            return Generate(options);
        if (options.mode == "bounce")
            return Bounce(options);
        return Reads(options);
    } catch (const OrvellError& error) {
        std::fprintf(stderr, "%s: %s\n", options.mode.c_str(), error.Message.c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", options.mode.c_str(), error.what());
    }
    return 1;
}
