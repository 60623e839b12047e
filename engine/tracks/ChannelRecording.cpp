#include <cstdio>

#include "core/EngineStatics.h"
#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "soundcard/SoundCard.h"
#include "tracks/Channel.h"

void Channel::Rec() {
    SoundCard* card = Mixer ? Mixer->GetSoundcard(CardIndex.load()) : nullptr;
    if (!card) {
        char text[64];
        std::snprintf(text, sizeof text, "No soundcard for channel %d", static_cast<int>(Index));
        throw DisplayedError(text);
    }
    Recording = true;
    try {
        card->Rec(File, static_cast<int>(SampleRate));
    } catch (...) {
        // Not armed after all: the track counts in the song's length again.
        Recording = false;
        throw;
    }
}

void Channel::StopRec() {
    SoundCard* card = Mixer ? Mixer->GetSoundcard(CardIndex.load()) : nullptr;
    // Disarming while playing is refused by the card; the track then stays armed.
    if (card)
        card->RecStop(true);
    Recording = false;
}
