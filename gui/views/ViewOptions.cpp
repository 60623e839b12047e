#include "views/ViewOptions.h"

namespace {

bool showWaveform = false;

}  // namespace

bool ShowWaveform() {
    return showWaveform;
}

void SetShowWaveform(bool show) {
    showWaveform = show;
}

namespace {

bool programMode = false;

}  // namespace

bool ProgramMode() {
    return programMode;
}

void SetProgramMode(bool on) {
    programMode = on;
}
