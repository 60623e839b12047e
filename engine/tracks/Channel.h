#pragma once

#include <cstdint>
#include <string>

#include "core/PalkExport.h"

class PalkMixer;

// One track of a song.
class PALKENG_API Channel {
  public:
    Channel();
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    int GetIndex() const { return Index; }

    // Number of live channels.
    static char Antal;
    // The engine's one mixing buffer: at least BufferSize frames of two signed 16-bit values,
    // left then right. Every track is read, widened and scaled into it before it is added into
    // its card's output buffer.
    static short* Data;
    // The step of a drawn fade.
    static unsigned int FadeResolution_ms;

    // Makes Data hold at least bytes bytes (it never shrinks). Called when the buffer grows.
    static bool GrowData(size_t bytes);

    std::string Name;

  private:
    friend class PalkMixer;

    int8_t Index = -1;

    static size_t dataBytes_;
};
