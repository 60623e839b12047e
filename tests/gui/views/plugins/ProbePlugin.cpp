// A plug-in for the track dialogs' tests, built in two kinds. "KnobProbe" (PROBE_KNOBS 1)
// exports two knobs on every track but track 1, which gets twelve; every knob starts at a value
// of its own, so that a fader showing it shows what QUIBFX_GET_KNOB gave. "SetupProbe"
// (PROBE_KNOBS 0) has no knob table and shows "its own setup" by noting the parent window.
// Both note the knob reads and writes and the setup calls in a ProbeRecord, and refuse track 3.
#include <cstdio>

#include "ProbeRecord.h"
#include "QuibFX.h"

extern "C" __attribute__((visibility("default"))) unsigned long QuibFXFunction(unsigned long,
                                                                               unsigned long,
                                                                               unsigned long);

namespace {

constexpr int Tracks = 16;
constexpr int ManyKnobs = 12;

ProbeRecord record;
unsigned long moduleHandle = 0;
int32_t values[Tracks][ManyKnobs + 1];

const QuibFXKnob twoKnobs[] = {
    {1, QuibFXFunction, "Depth", 100, 0},
    {2, QuibFXFunction, "Offset", 50, -50},
    {0, nullptr, nullptr, 0, 0},
};

char manyLabels[ManyKnobs][8];
QuibFXKnob manyKnobs[ManyKnobs + 1];

// The value a knob has before the first QUIBFX_SET_KNOB.
int32_t StartValue(int id) {
    return id == 2 ? -20 : 5 * id + 25;
}

struct Tables {
    Tables() {
        for (int i = 0; i < ManyKnobs; ++i) {
            std::snprintf(manyLabels[i], sizeof manyLabels[i], "K%d", i + 1);
            manyKnobs[i] = {i + 1, QuibFXFunction, manyLabels[i], 100, 0};
        }
        manyKnobs[ManyKnobs] = {0, nullptr, nullptr, 0, 0};
        for (auto& track : values)
            for (int id = 0; id <= ManyKnobs; ++id)
                track[id] = StartValue(id);
    }
} tables;

void Note(unsigned long command, int32_t value, int32_t id, unsigned long first,
          unsigned long channel) {
    if (record.count < ProbeMaxCalls)
        record.calls[record.count++] = {command, value, id, first, channel};
}

}  // namespace

extern "C" __attribute__((visibility("default"))) unsigned long QuibFXFunction(
    unsigned long command, unsigned long first, unsigned long second) {
    switch (command) {
        case QUIBFX_LOADED:
            moduleHandle = first;
            return 0;
        case QUIBFX_UNLOAD:
            return moduleHandle;
        case QUIBFX_ADDED:
            return second == 3 ? 1 : 0;
        case QUIBFX_NAME:
            return reinterpret_cast<unsigned long>(PROBE_NAME);
        case QUIBFX_KNOBS:
            if (!PROBE_KNOBS)
                return 0;
            return reinterpret_cast<unsigned long>(second == 1 ? manyKnobs : twoKnobs);
        case QUIBFX_GET_KNOB:
        case QUIBFX_SET_KNOB: {
            auto* knob = reinterpret_cast<QuibFXKnobValue*>(first);
            if (second >= Tracks || knob->id < 0 || knob->id > ManyKnobs)
                return 0;
            if (command == QUIBFX_GET_KNOB)
                knob->value = values[second][knob->id];
            else
                values[second][knob->id] = knob->value;
            Note(command, knob->value, knob->id, 0, second);
            return 0;
        }
        case QUIBFX_SETUP:
            Note(command, 0, 0, first, second);
            return 1;
        case ProbeRecordCommand:
            return reinterpret_cast<unsigned long>(&record);
        default:
            return 0;
    }
}
