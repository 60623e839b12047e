#pragma once

#include <memory>
#include <vector>

#include "soundcard/BufferRing.h"
#include "soundcard/SoundCard.h"
#include "soundcard/WaveBuff.h"

// Every output and input buffer of the card, and the lists that refer to them.
struct SoundCard::Buffers {
    std::vector<std::unique_ptr<Outbuff>> output;
    BufferRing<Outbuff> free;    // ready to be mixed into (guarded by the playback lock)
    BufferRing<Outbuff> filled;  // mixed, waiting to be written (the run's own thread)
    std::vector<std::unique_ptr<Inbuff>> input;
    BufferRing<Inbuff> recorded;  // filled by the device (guarded by the record-queue lock)
};
