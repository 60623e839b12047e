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
