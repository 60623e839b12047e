#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "QuibFX.h"

// One example plug-in loaded as the engine loads it: dlopen, QUIBFX_LOADED with the module
// handle, QUIBFX_SAMPLE_RATE; at the end QUIBFX_UNLOAD, which must hand the handle back, and
// dlclose. The calls go straight to its entry point, as the host makes them.
class PluginLibrary {
  public:
    explicit PluginLibrary(const std::string& path, unsigned long rate = 44100);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    unsigned long Call(unsigned long command, unsigned long first, unsigned long second) const {
        return entry_(command, first, second);
    }
    QuibFXEntry Entry() const { return entry_; }

    bool Add(int channel) const { return Call(QUIBFX_ADDED, 0, channel) == 0; }
    void Remove(int channel) const { Call(QUIBFX_REMOVED, 0, channel); }
    void Reset(int channel) const { Call(QUIBFX_RESET, 0, channel); }
    const QuibFXKnob* Knobs(int channel) const;
    int32_t Get(int channel, int32_t id) const;
    void Set(int channel, int32_t id, int32_t value) const;
    // Processes interleaved stereo samples in place as one buffer.
    void Process(int channel, std::vector<int16_t>& samples, int64_t position,
                 uint32_t rate = 44100) const;

  private:
    void* module_;
    QuibFXEntry entry_;
};

// Interleaved stereo samples spread over the whole 16-bit range, the same for every seed.
std::vector<int16_t> Noise(size_t frames, unsigned seed);
