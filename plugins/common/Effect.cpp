#include "Effect.h"

#include <cstdio>

namespace quibfx {

Effect::Effect(const char* name, QuibFXEntry entry, std::span<const Parameter> parameters,
               bool knobTable)
    : name_(name),
      hasKnobTable_(knobTable),
      parameters_(std::string(name) + ".fxsettings", parameters) {
    FillKnobTable(entry);
}

Effect::~Effect() = default;

void Effect::FillKnobTable(QuibFXEntry entry) {
    // The element after the last knob keeps its null label: it ends the table.
    std::span<const Parameter> all = parameters_.All();
    for (size_t i = 0; i < all.size(); ++i)
        knobs_[i] = QuibFXKnob{all[i].id, entry, all[i].label, all[i].max, all[i].min};
}

bool Effect::AddChannel(int) {
    return true;
}
void Effect::RemoveChannel(int) {}
void Effect::ResetChannel(int, int64_t) {}
void Effect::RateChanged() {}
unsigned long Effect::Setup(int, unsigned long) {
    return 0;
}

unsigned long Effect::Dispatch(unsigned long command, unsigned long first,
                               unsigned long second) noexcept {
    try {
        return Answer(command, first, second);
    } catch (...) {
        // Out of memory, mostly. A channel that could not be set up is refused.
        return command == QUIBFX_ADDED ? 1 : 0;
    }
}

unsigned long Effect::Answer(unsigned long command, unsigned long first, unsigned long second) {
    const int channel = IsChannel(second) ? static_cast<int>(second) : -1;
    switch (command) {
        case QUIBFX_NAME:
            return reinterpret_cast<unsigned long>(name_);
        case QUIBFX_SAMPLE_RATE:
            if (first >= MinSampleRate && first <= MaxSampleRate) {
                sampleRate_.store(static_cast<uint32_t>(first), std::memory_order_relaxed);
                RateChanged();
            }
            return 0;
        case QUIBFX_SONG_SAVED: {
            std::string error;
            // The host has no answer for this command: the user hears of it on the terminal.
            if (!parameters_.SaveSong(error))
                std::fprintf(stderr, "%s: the song's settings were not saved: %s\n", name_,
                             error.c_str());
            return 0;
        }
        case QUIBFX_SONG_LOADED:
            parameters_.LoadSong();
            return 0;
        case QUIBFX_UNLOAD:
            for (int c = 0; c < MaxChannels; ++c) {
                if (parameters_.Has(c)) {
                    parameters_.Remove(c);
                    RemoveChannel(c);
                }
            }
            return 0;
        case QUIBFX_ADDED:
            if (channel < 0 || !AddChannel(channel))
                return 1;
            parameters_.Add(channel);
            return 0;
        case QUIBFX_REMOVED:
            if (channel >= 0) {
                parameters_.Remove(channel);
                RemoveChannel(channel);
            }
            return 0;
        case QUIBFX_KNOBS:
            return hasKnobTable_ ? reinterpret_cast<unsigned long>(knobs_.data()) : 0;
        case QUIBFX_GET_KNOB:
            if (channel >= 0 && first != 0) {
                auto* knob = reinterpret_cast<QuibFXKnobValue*>(first);
                parameters_.Get(channel, knob->id, knob->value);
            }
            return 0;
        case QUIBFX_SET_KNOB:
            if (channel >= 0 && first != 0) {
                const auto* knob = reinterpret_cast<const QuibFXKnobValue*>(first);
                parameters_.Set(channel, knob->id, knob->value);
            }
            return 0;
        case QUIBFX_SETUP:
            return channel >= 0 ? Setup(channel, first) : 0;
        case QUIBFX_RESET:
            if (channel >= 0)
                ResetChannel(channel, static_cast<int64_t>(first));
            return 0;
        case QUIBFX_PROCESS:
            if (channel >= 0 && first != 0) {
                const auto* buffer = reinterpret_cast<const QuibFXBuffer*>(first);
                if (buffer->samples && buffer->frames > 0 && parameters_.Has(channel))
                    Process(*buffer, channel);
            }
            return 0;
        default:
            return 0;
    }
}

unsigned long Serve(EffectSlot& slot, Effect* (*make)(), unsigned long command, unsigned long first,
                    unsigned long second) noexcept {
    switch (command) {
        case QUIBFX_LOADED:
            slot.module = first;
            if (!slot.effect) {
                try {
                    slot.effect = make();
                } catch (...) {
                    // Out of memory: the plug-in answers nothing but its handle.
                }
            }
            break;
        case QUIBFX_UNLOAD:
            if (slot.effect)
                slot.effect->Dispatch(command, first, second);
            delete slot.effect;
            slot.effect = nullptr;
            return slot.module;
        default:
            break;
    }
    return slot.effect ? slot.effect->Dispatch(command, first, second) : 0;
}

}  // namespace quibfx
