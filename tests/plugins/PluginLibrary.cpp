#include "PluginLibrary.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

PluginLibrary::PluginLibrary(const std::string& path, unsigned long rate)
    : module_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)), entry_(nullptr) {
    if (!module_)
        throw std::runtime_error(std::string("cannot load ") + path + ": " + ::dlerror());
    entry_ = reinterpret_cast<QuibFXEntry>(::dlsym(module_, "QuibFXFunction"));
    if (!entry_) {
        ::dlclose(module_);
        throw std::runtime_error("no QuibFXFunction in " + path);
    }
    Call(QUIBFX_LOADED, reinterpret_cast<unsigned long>(module_), static_cast<unsigned long>(-1));
    Call(QUIBFX_SAMPLE_RATE, rate, static_cast<unsigned long>(-1));
}

PluginLibrary::~PluginLibrary() {
    EXPECT_EQ(Call(QUIBFX_UNLOAD, 0, static_cast<unsigned long>(-1)),
              reinterpret_cast<unsigned long>(module_));
    ::dlclose(module_);
}

const QuibFXKnob* PluginLibrary::Knobs(int channel) const {
    return reinterpret_cast<const QuibFXKnob*>(Call(QUIBFX_KNOBS, 0, channel));
}

int32_t PluginLibrary::Get(int channel, int32_t id) const {
    QuibFXKnobValue knob{INT32_MIN, id};
    Call(QUIBFX_GET_KNOB, reinterpret_cast<unsigned long>(&knob), channel);
    return knob.value;
}

void PluginLibrary::Set(int channel, int32_t id, int32_t value) const {
    const QuibFXKnobValue knob{value, id};
    Call(QUIBFX_SET_KNOB, reinterpret_cast<unsigned long>(&knob), channel);
}

void PluginLibrary::Process(int channel, std::vector<int16_t>& samples, int64_t position,
                            uint32_t rate) const {
    QuibFXBuffer buffer{samples.data(), static_cast<uint32_t>(samples.size() / 2), rate, position};
    Call(QUIBFX_PROCESS, reinterpret_cast<unsigned long>(&buffer), channel);
}

std::vector<int16_t> Noise(size_t frames, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> sample(INT16_MIN, INT16_MAX);
    std::vector<int16_t> samples(frames * 2);
    for (int16_t& s : samples)
        s = static_cast<int16_t>(sample(generator));
    return samples;
}
