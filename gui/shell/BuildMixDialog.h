#pragma once

#include <QDialog>
#include <cstdint>

class QComboBox;

// "Build Mix": which card mixes all tracks and which track the mix goes into. One dialog lives
// for the program's run, so it offers the values confirmed last. Both boxes take a typed
// number too; OK closes only when both are in range.
class BuildMixDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int TrackBoxId = 1052;
    static constexpr int CardBoxId = 1054;
    static constexpr uint32_t MaxTrack = 16;
    static constexpr uint32_t MaxCard = 4;

    explicit BuildMixDialog(QWidget* parent = nullptr);

    // Shows the dialog with the last values; the QDialog result.
    int Run();

    uint32_t Track() const { return track_; }
    uint32_t Card() const { return card_; }
    QComboBox* TrackBox() const { return trackBox_; }
    QComboBox* CardBox() const { return cardBox_; }

  public slots:
    void accept() override;

  private:
    QComboBox* trackBox_;
    QComboBox* cardBox_;
    uint32_t track_ = 0;
    uint32_t card_ = 0;
};
