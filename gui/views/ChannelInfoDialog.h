#pragma once

#include <QDialog>

class Channel;
class QButtonGroup;
class QPushButton;
class QRadioButton;

// "Channel info": a track's sample format, mono or stereo and 16 or 8 bit. It shows the
// track's format when made; OK gives the track the chosen one. A track that holds audio keeps
// its format: the engine's refusal is shown, the radios go back to what the track has, and the
// dialog stays open.
class ChannelInfoDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int MonoId = 1037;
    static constexpr int StereoId = 1038;
    static constexpr int SixteenBitId = 1039;
    static constexpr int EightBitId = 1040;

    ChannelInfoDialog(Channel* channel, QWidget* parent = nullptr);

    // The radio button of id (one of the four above), or null.
    QRadioButton* Radio(int id) const;
    QPushButton* OkButton() const { return ok_; }

  public slots:
    void accept() override;

  private:
    void ShowFormat();

    Channel* const channel_;
    QButtonGroup* channels_;
    QButtonGroup* bits_;
    QPushButton* ok_;
};
