#include "FirstCard.h"

#include "core/PalkMixer.h"

bool ReadSettingsWithACard(bool& added) {
    added = false;
    Mixer->ReadSettings();
    if (Mixer->GetSoundcard(0))
        return true;
    if (Mixer->AddCard(0) != 1)
        return false;
    added = true;
    return true;
}
