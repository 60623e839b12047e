#include "BounceSong.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "core/EngineStatics.h"
#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "platform/wave/BackendSelection.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int TargetIndex = BounceSong::Tracks;
constexpr size_t GenerateBlockFrames = 65536;
// Frames compared at each checked place, and how many places.
constexpr int64_t CheckFrames = 4096;
constexpr int CheckPlaces = 40;

std::string TrackName(int index) {
    return "channel" + std::to_string(index) + "_";
}

// A triangle of period frames between -amplitude and +amplitude, stepped one frame at a time.
class Triangle {
  public:
    Triangle(int period, int amplitude) : period_(period), amplitude_(amplitude) {}
    int Next() {
        const int distance = phase_ < period_ / 2 ? phase_ : period_ - phase_;
        if (++phase_ == period_)
            phase_ = 0;
        return amplitude_ - 4 * amplitude_ * distance / period_;
    }

  private:
    int period_;
    int amplitude_;
    int phase_ = 0;
};

// One track's audio: a slow triangle that every track shares (its peaks make the sum of the
// 16 tracks clip), a faster one of the track's own per side, and some noise.
class TrackSignal {
  public:
    explicit TrackSignal(int track)
        : left_(97 + 13 * track, 2400), right_(103 + 13 * track, 2400), noise_(track + 1) {}
    void Fill(int16_t* frames, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            const int common = common_.Next();
            noise_ = noise_ * 1664525u + 1013904223u;
            const int noise = static_cast<int>(noise_ >> 22) - 512;
            frames[2 * i] = static_cast<int16_t>(common + left_.Next() + noise);
            frames[2 * i + 1] = static_cast<int16_t>(common + right_.Next() - noise);
        }
    }

  private:
    Triangle common_{2 * 44100, 1800};
    Triangle left_;
    Triangle right_;
    uint32_t noise_;
};

std::vector<int16_t> ReadFrames(SuperWaveFile& file, int64_t frame, int64_t count) {
    std::vector<int16_t> samples(static_cast<size_t>(count) * 2);
    file.ReadAt(frame * 4, reinterpret_cast<uint8_t*>(samples.data()), samples.size() * 2);
    return samples;
}

}  // namespace

BounceSong::BounceSong(const std::string& folder, int32_t cacheBytes) {
    std::filesystem::create_directories(folder);
    const std::string absolute = std::filesystem::absolute(folder).string();
    setenv("HOME", absolute.c_str(), 1);
    setenv("XDG_CONFIG_HOME", absolute.c_str(), 1);
    if (chdir(absolute.c_str()) != 0)
        throw std::runtime_error("can't enter " + absolute);
    wave::UseVirtualCards(1);
    wave::SetVirtualPacing(0, wave::Pacing::FreeRunning);
    wave::SetVirtualPlayedCollection(0, false);
    // The settings file a previous run saved lists the card already.
    Mixer->ReadSettings();
    if (!Mixer->GetSoundcard(0) && Mixer->AddCard(0) != 1)
        throw std::runtime_error("the virtual card did not open");
    // The settings file may hold another size: every track made from here on gets this one.
    CacheSize = cacheBytes;
}

BounceSong::~BounceSong() {
    try {
        Mixer->Terminate();
    } catch (const OrvellError&) {
        // The settings could not be saved; the benchmark's figures stand.
    }
}

void BounceSong::Generate() {
    std::vector<int16_t> block(GenerateBlockFrames * 2);
    for (int n = 0; n < Tracks; ++n) {
        Channel* channel = Mixer->AddChannel();
        SuperWaveFile* file = channel->GetChannelFile();
        file->Open(TrackName(n));
        file->DeleteAll();
        channel->SetFormat(true, true);
        file->SeekFrames(0);
        TrackSignal signal(n);
        for (int64_t done = 0; done < Frames;) {
            const auto count =
                static_cast<size_t>(std::min<int64_t>(Frames - done, GenerateBlockFrames));
            signal.Fill(block.data(), count);
            file->AppendBytes(block.data(), count * 4);
            done += static_cast<int64_t>(count);
        }
        file->Save();
        file->ExportWave(WaveName(n));
        file->CloseHandles();
        tracks_.push_back(channel);
    }
    std::ofstream(MarkerName) << Tracks << " tracks of " << Frames << " frames\n";
}

void BounceSong::OpenTracks() {
    for (int n = 0; n < Tracks; ++n) {
        Channel* channel = Mixer->AddChannel();
        channel->GetChannelFile()->Open(TrackName(n));
        bool stereo = false, sixteenBit = false;
        channel->GetFormat(stereo, sixteenBit);
        if (!stereo || !sixteenBit || channel->GetTotalLength() != Frames)
            throw std::runtime_error(TrackName(n) +
                                     " is not 10 minutes of 16-bit stereo: run "
                                     "\"generate\" first");
        tracks_.push_back(channel);
    }
}

void BounceSong::DropFromPageCache() const {
    for (const Channel* channel : tracks_) {
        const SuperWaveFile& file = *channel->GetChannelFile();
        for (int i = 0; i < file.GetSegmentCount(); ++i) {
            const int fd = ::open(file.GetSegment(i).FileName.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            fdatasync(fd);
            posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
}

BounceSong::BounceResult BounceSong::Bounce() {
    if (!target_) {
        target_ = Mixer->AddChannel();
        target_->GetChannelFile()->Open(TrackName(TargetIndex));
    }
    // Every run writes a new target, as sox and ecasound write a new file.
    target_->GetChannelFile()->DeleteAll();
    Mixer->BuildMix(0, TargetIndex);
    Mixer->SetPos(0);

    const Clock::time_point start = Clock::now();
    Mixer->Play();
    bool endedEarly = false;
    while (PlayPos.load() < Frames) {
        if (!Mixer->IsPlaying_b()) {
            endedEarly = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    Mixer->Stop();
    const Clock::time_point end = Clock::now();

    OrvellError error;
    if (Mixer->GetLastError(error))
        throw std::runtime_error("the bounce failed: " + error.Message);
    if (endedEarly)
        throw std::runtime_error("the bounce ended before the song's end");
    BounceResult result;
    result.seconds = std::chrono::duration<double>(end - start).count();
    result.frames = target_->GetTotalLength();
    if (result.frames < Frames)
        throw std::runtime_error("the bounced track holds " + std::to_string(result.frames) +
                                 " frames, fewer than the song's " + std::to_string(Frames));
    return result;
}

int64_t BounceSong::CheckMix() const {
    if (!target_)
        throw std::runtime_error("nothing was bounced");
    SuperWaveFile& target = *target_->GetChannelFile();
    int64_t compared = 0;
    int64_t clipped = 0;
    for (int place = 0; place <= CheckPlaces; ++place) {
        // From the song's first frame to its last CheckFrames.
        const int64_t first = (Frames - CheckFrames) * place / CheckPlaces;
        std::vector<int32_t> sum(static_cast<size_t>(CheckFrames) * 2, 0);
        for (const Channel* channel : tracks_) {
            const std::vector<int16_t> source =
                ReadFrames(*channel->GetChannelFile(), first, CheckFrames);
            for (size_t i = 0; i < sum.size(); ++i) {
                const int32_t added = sum[i] + source[i];
                clipped += added != std::clamp(added, -32768, 32767);
                sum[i] = std::clamp(added, -32768, 32767);
            }
        }
        const std::vector<int16_t> mixed = ReadFrames(target, first, CheckFrames);
        for (size_t i = 0; i < sum.size(); ++i) {
            if (mixed[i] != sum[i])
                throw std::runtime_error("the bounce differs from the sum of the tracks at frame " +
                                         std::to_string(first + static_cast<int64_t>(i / 2)) +
                                         ": " + std::to_string(mixed[i]) + " instead of " +
                                         std::to_string(sum[i]));
        }
        compared += CheckFrames;
    }
    // What was bounced past the song's end is silence.
    const int64_t past = target_->GetTotalLength() - Frames;
    const std::vector<int16_t> tail = ReadFrames(target, Frames, past);
    if (std::any_of(tail.begin(), tail.end(), [](int16_t s) { return s != 0; }))
        throw std::runtime_error("the bounce is not silent past the song's end");
    if (clipped == 0)
        throw std::runtime_error("no checked sum clipped: the check never saw a saturating add");
    return compared;
}
