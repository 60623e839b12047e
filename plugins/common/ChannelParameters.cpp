#include "ChannelParameters.h"

#include <algorithm>

#include "SettingsFile.h"

namespace quibfx {

ChannelParameters::ChannelParameters(std::string settingsFile,
                                     std::span<const Parameter> parameters)
    : settingsFile_(std::move(settingsFile)) {
    const std::span<const Parameter> kept =
        parameters.first(std::min(parameters.size(), MaxParameters));
    parameters_.assign(kept.begin(), kept.end());
    for (Slot& slot : slots_)
        for (size_t i = 0; i < parameters_.size(); ++i)
            slot.values[i].store(parameters_[i].defaultValue, std::memory_order_relaxed);
}

void ChannelParameters::Add(int channel) {
    Slot& slot = slots_[channel];
    for (size_t i = 0; i < parameters_.size(); ++i) {
        const int32_t value =
            loaded_[channel] ? (*loaded_[channel])[i] : parameters_[i].defaultValue;
        slot.values[i].store(value, std::memory_order_relaxed);
    }
    loaded_[channel].reset();
    // Release: a player that sees the channel added sees its values and its state too.
    slot.added.store(true, std::memory_order_release);
}

void ChannelParameters::Remove(int channel) {
    slots_[channel].added.store(false, std::memory_order_release);
}

const Parameter* ChannelParameters::Find(int32_t id, size_t& index) const {
    for (index = 0; index < parameters_.size(); ++index)
        if (parameters_[index].id == id)
            return &parameters_[index];
    return nullptr;
}

bool ChannelParameters::Get(int channel, int32_t id, int32_t& value) const {
    size_t index = 0;
    if (!Find(id, index))
        return false;
    value = Value(channel, index);
    return true;
}

bool ChannelParameters::Set(int channel, int32_t id, int32_t value) {
    size_t index = 0;
    const Parameter* parameter = Find(id, index);
    if (!parameter)
        return false;
    slots_[channel].values[index].store(std::clamp(value, parameter->min, parameter->max),
                                        std::memory_order_relaxed);
    return true;
}

bool ChannelParameters::SaveSong(std::string& error) const {
    SongValues values;
    bool any = false;
    for (int channel = 0; channel < MaxChannels; ++channel) {
        if (!Has(channel))
            continue;
        ChannelValues own{};
        for (size_t i = 0; i < parameters_.size(); ++i)
            own[i] = Value(channel, i);
        values[channel] = own;
        any = true;
    }
    // A song without the effect keeps no file of it, and none of an earlier save comes back.
    if (!any)
        return RemoveSettingsFile(settingsFile_, error);
    return WriteSettingsFile(settingsFile_, FormatSettings(parameters_, values), error);
}

void ChannelParameters::LoadSong() {
    const std::optional<std::string> text = ReadSettingsFile(settingsFile_);
    loaded_ = text ? ParseSettings(*text, parameters_) : SongValues{};
}

}  // namespace quibfx
