// The recorder thread's cost: CPU time per input buffer while sixteen tracks play.
//
//   recorder_bench [--seconds=N] [--cache=BYTES]
//
// A song of sixteen 16-bit stereo tracks plays in real time on a virtual card while a
// seventeenth track records that card's input (a test tone) for N seconds (default 20). The
// threads' CPU times come from the kernel's per-thread accounting (/proc/self/task/*/schedstat,
// nanoseconds), read before and after the take; the figures are per input buffer and as a
// share of one buffer period.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "core/EngineStatics.h"
#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "platform/wave/BackendSelection.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "soundcard/SoundCard.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"

namespace {

constexpr int Tracks = 16;

// CPU nanoseconds of every thread of this process, by thread name (summed per name).
std::map<std::string, uint64_t> ThreadCpuTimes() {
    std::map<std::string, uint64_t> times;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::ifstream schedstat(task.path() / "schedstat");
        std::string name;
        uint64_t ns = 0;
        if (std::getline(comm, name) && (schedstat >> ns))
            times[name] += ns;
    }
    return times;
}

std::string Tone(size_t frames, double hertz) {
    std::string bytes(frames * 4, '\0');
    for (size_t i = 0; i < frames; ++i) {
        const auto sample =
            static_cast<int16_t>(std::lround(8000.0 * std::sin(2.0 * M_PI * hertz * i / 44100)));
        for (int side = 0; side < 2; ++side)
            std::memcpy(&bytes[4 * i + 2 * side], &sample, 2);
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 20;
    int cache = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--seconds=", 10) == 0)
            seconds = std::atof(argv[i] + 10);
        else if (std::strncmp(argv[i], "--cache=", 8) == 0)
            cache = std::atoi(argv[i] + 8);
        else {
            std::fprintf(stderr, "usage: recorder_bench [--seconds=N] [--cache=BYTES]\n");
            return 2;
        }
    }
    char folder[] = "/var/tmp/zembla-recorder-XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    std::filesystem::current_path(folder);
    setenv("XDG_CONFIG_HOME", folder, 1);
    wave::UseVirtualCards(1);
    wave::SetVirtualPacing(0, wave::Pacing::RealTime);
    wave::SetVirtualPlayedCollection(0, false);
    wave::SetVirtualCaptureSource(0, wave::VirtualCaptureSource::TestSignal(440.0, 0.5));

    int status = 0;
    try {
        Mixer->ReadSettings();
        Mixer->AddCard(0);
        const auto frames = static_cast<size_t>((seconds + 5) * 44100);
        for (int t = 0; t < Tracks; ++t) {
            Channel* track = Mixer->AddChannel();
            track->GetChannelFile()->Open("channel" + std::to_string(t) + "_");
            track->SetFormat(true, true);
            track->SetCache(static_cast<int>(BufferSize) * 100);
            const std::string audio = Tone(frames, 220.0 + 40 * t);
            track->GetChannelFile()->AppendBytes(audio.data(), audio.size());
            track->GetChannelFile()->Save();
        }
        Channel* take = Mixer->AddChannel();
        take->GetChannelFile()->Open("channel16_");
        take->SetFormat(true, true);
        take->SetCache(cache >= 0 ? cache : static_cast<int>(BufferSize) * 100);
        take->Rec();
        SoundCard* card = Mixer->GetSoundcard(0);

        Mixer->Rec();
        const auto before = ThreadCpuTimes();
        const uint64_t firstBuffer = card->RecordedBufferCount();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const auto after = ThreadCpuTimes();
        const uint64_t buffers = card->RecordedBufferCount() - firstBuffer;
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Mixer->Stop();
        take->StopRec();

        const double period_us = 1e6 * BufferSize / SampleRate;
        auto report = [&](const char* thread, const char* label, uint64_t count) {
            const auto b = before.find(thread);
            const auto a = after.find(thread);
            if (a == after.end() || b == before.end() || count == 0)
                return;
            const double us = static_cast<double>(a->second - b->second) / 1000.0 / count;
            std::printf("%-9s %8.1f us CPU per buffer  %6.3f %% of a %.1f ms period\n", label, us,
                        100.0 * us / period_us, period_us / 1000.0);
        };
        std::printf(
            "recorded %llu input buffers of %u frames in %.1f s while %d tracks played; "
            "cache %d bytes\n",
            static_cast<unsigned long long>(buffers), BufferSize, elapsed, Tracks,
            take->GetCacheSize());
        report("zembla-recorder", "recorder", buffers);
        report("zembla-player", "player", buffers);
        Mixer->Terminate();
    } catch (const OrvellError& error) {
        std::fprintf(stderr, "recorder_bench: %s\n", error.Message.c_str());
        status = 1;
    }
    std::error_code ignored;
    std::filesystem::current_path("/", ignored);
    std::filesystem::remove_all(folder, ignored);
    return status;
}
