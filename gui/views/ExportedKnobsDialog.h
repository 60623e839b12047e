#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "QuibFX.h"

class QLabel;
class VolumeControl;

// "Exported knobs": one fader per knob of a plug-in's knob table on one track, each showing
// its value, with the knob's label above. The values are read from the plug-in when the
// dialog opens, and every new value of a fader goes to the plug-in at once. Modeless; the
// dialog deletes itself when closed. The table is the plug-in's and stays valid while the
// plug-in is loaded, which is longer than any window of the program lives.
//
// The dialog has room for MaxKnobs faders: knobs after them are neither shown nor read.
class ExportedKnobsDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int MaxKnobs = 10;
    // Each fader's column, and the margins around the faders.
    static constexpr int ColumnWidth = 75;
    static constexpr int Left = 20;
    static constexpr int Right = 50;
    static constexpr int LabelHeight = 25;
    static constexpr int Bottom = 25;
    // The faders are as tall as the fader track picture.
    static constexpr int FaderHeight = 134;

    // knobs: the table, ended by an element without a label; channelIndex: the track's index.
    ExportedKnobsDialog(const FX::Knob* knobs, const QString& pluginName, int channelIndex,
                        QWidget* owner = nullptr);

    const QString& PluginName() const { return pluginName_; }
    int ChannelIndex() const { return channelIndex_; }
    int FaderCount() const { return static_cast<int>(faders_.size()); }
    VolumeControl* Fader(int i) const { return faders_[static_cast<size_t>(i)]; }
    QLabel* Label(int i) const { return labels_[static_cast<size_t>(i)]; }

  private:
    void OnFader(const FX::Knob& knob, int code, int value);

    const QString pluginName_;
    const int channelIndex_;
    std::vector<VolumeControl*> faders_;
    std::vector<QLabel*> labels_;
};
