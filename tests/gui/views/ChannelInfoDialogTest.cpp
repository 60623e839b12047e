// "Channel info": a track's format, changed while the track is empty and kept once it holds
// audio.
#include <QPushButton>
#include <QRadioButton>

#include "support/RecordingMessageBoxes.h"
#include "support/Screenshots.h"
#include "views/ChannelInfoDialog.h"
#include "views/StripTestSupport.h"

namespace {

using Dialog = ChannelInfoDialog;

class ChannelInfoTest : public StripRowTest {
  protected:
    std::pair<bool, bool> Format(int i) const {
        bool stereo = false, sixteen = false;
        Track(i)->GetFormat(stereo, sixteen);
        return {stereo, sixteen};
    }
    static bool Checked(Dialog& dialog, int id) { return dialog.Radio(id)->isChecked(); }
};

}  // namespace

TEST_F(ChannelInfoTest, TheDialogShowsTheTracksFormatAndOkGivesAnEmptyTrackTheChosenOne) {
    MakeRow(2);
    Track(1)->SetFormat(false, false);
    {
        Dialog dialog(Track(0));
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), "Channel info");
        EXPECT_TRUE(Checked(dialog, Dialog::StereoId) && Checked(dialog, Dialog::SixteenBitId));
        EXPECT_FALSE(Checked(dialog, Dialog::MonoId) || Checked(dialog, Dialog::EightBitId));
        EXPECT_EQ(dialog.Radio(Dialog::MonoId)->text(), "Mono");
        EXPECT_EQ(dialog.Radio(Dialog::EightBitId)->text(), "8 bit");
        EXPECT_TRUE(SaveScreenshot(dialog, "channel-info-dialog"));
        QTest::mouseClick(dialog.Radio(Dialog::MonoId), Qt::LeftButton);
        QTest::mouseClick(dialog.Radio(Dialog::EightBitId), Qt::LeftButton);
        EXPECT_FALSE(Checked(dialog, Dialog::StereoId) || Checked(dialog, Dialog::SixteenBitId));
        EXPECT_EQ(Format(0), std::pair(true, true)) << "nothing before OK";
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(Format(0), std::pair(false, false));

    // The other track's mono 8 bit is shown; Cancel changes nothing.
    Dialog dialog(Track(1));
    dialog.show();
    EXPECT_TRUE(Checked(dialog, Dialog::MonoId) && Checked(dialog, Dialog::EightBitId));
    QTest::mouseClick(dialog.Radio(Dialog::StereoId), Qt::LeftButton);
    dialog.reject();
    EXPECT_EQ(Format(1), std::pair(false, false));
}

TEST_F(ChannelInfoTest, ATrackHoldingAudioKeepsItsFormatAndTheRefusalIsShown) {
    MakeRow(1);
    WriteAudio(0, 0, 0.5, 1000);
    RecordingMessageBoxes& boxes = RecordingMessageBoxes::ForThisTest();
    Dialog dialog(Track(0));
    dialog.show();
    QTest::mouseClick(dialog.Radio(Dialog::MonoId), Qt::LeftButton);
    boxes.QueueAnswer(MessageBoxes::Answer::Ok);
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(boxes.Texts(), QStringList{"Can't change format, file is not empty!"});
    EXPECT_EQ(Format(0), std::pair(true, true));
    // The dialog stays, showing the format the track kept; OK then closes it quietly.
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(Checked(dialog, Dialog::StereoId) && Checked(dialog, Dialog::SixteenBitId));
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(boxes.Shown().size(), 1u);
}
