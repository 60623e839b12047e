#include "RecordCommand.h"

#include "FirstCard.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "soundcard/SoundCard.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"

namespace {

constexpr int SongTracks = 16;

int Fail(const std::string& what) {
    std::fprintf(stderr, "zembla-cli record: %s\n", what.c_str());
    return 1;
}

// A bar of up to 20 marks for a 16-bit peak.
std::string Meter(unsigned peak) {
    return std::string(peak * 20 / 32768, '#') + std::string(20 - peak * 20 / 32768, ' ');
}

}  // namespace

int RecordTake(const std::string& folder, int track, double seconds, unsigned long from_ms) {
    if (chdir(folder.c_str()) != 0)
        return Fail("can't open the song folder " + folder);
    bool addedCard = false;
    try {
        if (!ReadSettingsWithACard(addedCard))
            return Fail("sound card 0 cannot be opened");
        // What ReadSettings queued (a first start without settings) is not about the take.
        OrvellError settings;
        while (Mixer->GetLastError(settings)) {
        }
        SoundCard* card = Mixer->GetSoundcard(0);
        std::vector<Channel*> tracks;
        for (int i = 0; i < SongTracks; ++i) {
            Channel* channel = Mixer->AddChannel();
            SuperWaveFile* file = channel->GetChannelFile();
            file->Open("channel" + std::to_string(i) + "_");
            // A track that was never recorded takes the mixing format.
            if (file->Format.BlockAlign == 0)
                channel->SetFormat(true, true);
            tracks.push_back(channel);
        }
        Channel* take = tracks[static_cast<size_t>(track)];
        take->Rec();
        Mixer->SetPos_ms(from_ms);
        const unsigned long start_ms = Mixer->GetPos_ms();
        std::printf("Recording track %d from %lu ms for %.1f s on %s\n", track, start_ms, seconds,
                    card->DeviceName.c_str());
        Mixer->Rec();
        const auto end_ms = start_ms + static_cast<unsigned long>(seconds * 1000);
        while (Mixer->IsPlaying_b() && card->IsCapturing() && Mixer->GetPos_ms() < end_ms) {
            std::printf("\r  %6.1f s  [%s]", (Mixer->GetPos_ms() - start_ms) / 1000.0,
                        Meter(card->GetInputMeterValue()).c_str());
            std::fflush(stdout);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const bool endedEarly = !Mixer->IsPlaying_b() || !card->IsCapturing();
        const double recorded = (Mixer->GetPos_ms() - start_ms) / 1000.0;
        Mixer->Stop();
        take->StopRec();
        std::printf("\n");
        OrvellError error;
        bool failed = false;
        while (Mixer->GetLastError(error)) {
            std::fprintf(stderr, "zembla-cli record: %s\n", error.Message.c_str());
            failed = true;
        }
        const std::vector<int32_t> pieces = take->GetChannelFile()->GetSegments();
        std::printf("Recorded %.1f s; track %d now holds %zu piece%s, %d ms long\n", recorded,
                    track, pieces.size() / 3, pieces.size() == 3 ? "" : "s",
                    static_cast<int>(int64_t{take->GetTotalLength()} * 1000 /
                                     std::max<long>(Mixer->GetSampleRate(), 1)));
        if (addedCard)
            Mixer->RemoveSoundcards();
        Mixer->Terminate();
        if (failed || endedEarly)
            return 1;
    } catch (const OrvellError& error) {
        return Fail(error.Message);
    }
    return 0;
}
