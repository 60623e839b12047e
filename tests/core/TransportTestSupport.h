#pragma once

// A song for the transport's tests: tracks with audio, drawn automation and offsets, each with
// its model (support/MixModel.h), so that what a card played can be compared with an
// independent mix.

#include <dirent.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "platform/wave/BackendSelection.h"
#include "platform/wave/WaveApi.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "soundcard/SoundCard.h"
#include "storage/SuperWaveFile.h"
#include "support/EngineFixture.h"
#include "support/MixModel.h"
#include "support/TempDir.h"
#include "tracks/Channel.h"
#include "tracks/TrackTestSupport.h"

// Polls until done() holds; false after timeoutMs.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The ids of the threads of this process named name that are running now.
inline std::vector<pid_t> ThreadsNamed(const std::string& name) {
    std::vector<pid_t> found;
    DIR* tasks = opendir("/proc/self/task");
    while (dirent* entry = tasks ? readdir(tasks) : nullptr) {
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string line;
        if (entry->d_name[0] != '.' && std::getline(comm, line) && line == name)
            found.push_back(static_cast<pid_t>(std::atoi(entry->d_name)));
    }
    if (tasks)
        closedir(tasks);
    return found;
}

// Every output buffer of the card is back in one place: none left at the device or lost.
inline void ExpectBuffersAtRest(int card = 0) {
    for (int places : Mixer->GetSoundcard(static_cast<char>(card))->OutputBufferPlaces())
        EXPECT_EQ(places, 1) << "card " << card;
}

// All the bytes of a track's stream, gaps as its fill byte.
inline std::string WholeTrack(SuperWaveFile& file) {
    std::string bytes(static_cast<size_t>(file.GetTotalBytes()), '\0');
    file.ReadAt(0, reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
    return bytes;
}

class TransportTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        Mixer->ReadSettings();
        TakeQueuedErrors();  // no settings file yet
    }

    // Opens virtual card card with the pacing given; the engine's newest card.
    SoundCard* OpenCard(unsigned card, wave::Pacing pacing) {
        wave::SetVirtualPacing(card, pacing);
        EXPECT_EQ(Mixer->AddCard(static_cast<char>(card)), 1);
        return Mixer->GetSoundcard(SoundCard::Antal - 1);
    }
    // Runs the song until the card has played at least buffers buffers, and stops.
    std::string PlayBuffers(unsigned card, size_t buffers) {
        wave::TakePlayedBytes(card);
        Mixer->Play();
        EXPECT_TRUE(WaitUntil([&] { return wave::PlayedByteCount(card) >= buffers * 8192; }));
        Mixer->Stop();
        return wave::TakePlayedBytes(card);
    }

    // A track of random audio in the given format from startFrame on, routed to card.
    Channel* AddTrack(bool stereo, bool sixteen, int64_t startFrame, size_t frames, int card = 0) {
        TrackModel t;
        t.stereo = stereo;
        t.sixteen = sixteen;
        t.card = card;
        t.startByte = startFrame * t.FrameBytes();
        t.bytes.resize(frames * t.FrameBytes());
        for (char& byte : t.bytes)
            byte = static_cast<char>(random_());
        Channel* channel = Mixer->AddChannel();
        WriteTrackAudio(channel, "channel" + std::to_string(channel->GetIndex()) + "_", stereo,
                        sixteen, startFrame, t.bytes);
        if (card != 0)
            channel->SetSoundCard(static_cast<char>(card));
        t.cacheLength = static_cast<uint32_t>(channel->GetCacheSize());
        t.fill = channel->GetChannelFile()->GetFillByte();
        models_.push_back(t);
        return channel;
    }
    // Volume fades, a recorded pan move and static offsets, noted in the track's model.
    void Automate(Channel* channel, unsigned long fromMs, float offsetVolume, float offsetPan) {
        channel->Fade(fromMs, fromMs + 120, EventTypes::VolumeFade, 0.3f);
        channel->Fade(fromMs + 300, fromMs + 500, EventTypes::VolumeFade, 0.9f);
        PlayPos = static_cast<int32_t>(MsToFrames(static_cast<int64_t>(fromMs) + 50));
        channel->RealTimeFade(true, false);
        for (float pan : {-0.6f, 0.2f, 0.8f}) {
            channel->Pan(pan);
            PlayPos += 3001;
        }
        channel->RealTimeFade(false, false);
        PlayPos = 0;
        channel->SetOffsetVol(offsetVolume);
        channel->SetOffsetPan(offsetPan);
        TrackModel& t = models_[static_cast<size_t>(channel->GetIndex())];
        t.volume = channel->GetVolumeEvents();
        t.pan = channel->GetPanEvents();
        t.offsetVolume = offsetVolume;
        t.offsetPan = offsetPan;
    }
    void Disable(Channel* channel) {
        channel->Enable(false);
        models_[static_cast<size_t>(channel->GetIndex())].disabled = true;
    }

    // Whether played (whole buffers, then a part of one) is what the model mixes for card in
    // a run from runStart.
    ::testing::AssertionResult PlayedAsModelled(const std::string& played, int card,
                                                int64_t runStart) const {
        const size_t bufferBytes = size_t{BufferSize} * 4;
        for (size_t k = 0; k * bufferBytes < played.size(); ++k) {
            const size_t bytes = std::min(bufferBytes, played.size() - k * bufferBytes);
            auto result = BufferAsModelled(played.data() + k * bufferBytes, bytes, card, runStart,
                                           static_cast<int64_t>(k), models_);
            if (!result)
                return result << " (buffer " << k << ")";
        }
        return ::testing::AssertionSuccess() << played.size() << " bytes";
    }
    // The first bytes of buffer k of such a run.
    static ::testing::AssertionResult BufferAsModelled(const char* data, size_t bytes, int card,
                                                       int64_t runStart, int64_t k,
                                                       const std::vector<TrackModel>& models) {
        const std::vector<int16_t> model = ModelCardBuffer(models, card, runStart, k);
        for (size_t s = 0; s < bytes / 2 && s < model.size(); ++s) {
            const auto* at = reinterpret_cast<const unsigned char*>(data) + 2 * s;
            const auto sample = static_cast<int16_t>(at[0] | at[1] << 8);
            if (sample != model[s])
                return ::testing::AssertionFailure()
                       << "sample " << s << ": " << sample << " instead of " << model[s];
        }
        return ::testing::AssertionSuccess();
    }

    const std::vector<TrackModel>& Models() const { return models_; }

  private:
    std::mt19937 random_{20261207};
    std::vector<TrackModel> models_;
};

// The engine on ALSA: an .asoundrc in the test's HOME declares the card, and the virtual cards
// come back afterwards.
template <class Base>
class OnAlsa : public Base {
  protected:
    void TearDown() override {
        Base::TearDown();
        wave::UseAlsa();  // forget this test's configuration
        wave::UseVirtualCards(EngineTest::VirtualCardCount);
    }
    // Opens the card the configuration describes as name.
    void UseAsoundrc(const std::string& text, const std::string& name) {
        WriteWholeFile(this->PathIn(".asoundrc"), text);
        wave::UseAlsa();
        ASSERT_STREQ(wave::BackendName(), "ALSA");
        for (uint32_t id = 0; id < wave::WaveOutGetNumDevs(); ++id) {
            wave::DeviceCaps caps;
            if (wave::WaveOutGetDevCaps(id, caps) == wave::NoError && caps.ProductName == name) {
                ASSERT_EQ(Mixer->AddCard(static_cast<char>(id)), 1);
                return;
            }
        }
        FAIL() << name << " is not listed";
    }
#ifdef CLOCKED_PCM_PLUGIN
    // ALSA's file plug-in over the clocked card, so that it plays into out (and captures
    // infile) at the real rate; over "null" it would run as fast as it is fed.
    void UseFileCard(const std::string& out, const std::string& infile = "") {
        UseAsoundrc("pcm_type.zembla_clocked { lib \"" CLOCKED_PCM_PLUGIN
                    "\" }\npcm.zembla_file { type file slave.pcm { type zembla_clocked } "
                    "format \"raw\" file \"" +
                        out + (infile.empty() ? "" : "\" infile \"" + infile) +
                        "\"\n  hint { show on description \"Zembla file card\" } }\n",
                    "Zembla file card");
    }
#endif
};
