// The Tremolo's own setup window for one channel.
#pragma once

#include <QDialog>

#include "ChannelParameters.h"

class QGridLayout;
class QLabel;
class QSlider;

constexpr int32_t TremoloRateId = 1;   // tenths of a hertz
constexpr int32_t TremoloDepthId = 2;  // percent

// Sliders for the rate and the depth with their values beside them, and a Close button. A
// slider's every move goes straight into the channel's values, so a playing song follows it.
class TremoloDialog : public QDialog {
  public:
    TremoloDialog(quibfx::ChannelParameters& parameters, int channel);

  private:
    // A row of the setting id: its label, a slider and the value.
    QSlider* AddRow(QGridLayout* grid, int row, int32_t id, QLabel*& value);
    void ShowValues();

    quibfx::ChannelParameters& parameters_;
    const int channel_;
    QSlider* rate_ = nullptr;
    QSlider* depth_ = nullptr;
    QLabel* rateValue_ = nullptr;
    QLabel* depthValue_ = nullptr;
};

// GUI thread. Shows the dialog for channel modally; when parentWindow is a native window id
// the platform can wrap, the dialog stays above that window. False, showing nothing, when
// this process has no QApplication or this is not its thread (the command-line tools).
bool ShowTremoloSetup(quibfx::ChannelParameters& parameters, int channel,
                      unsigned long parentWindow);
