// The real Qt message boxes (text, caption, buttons, the answer of the button pressed or of
// Escape) and the faults the recording boxes of the tests see.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "shell/MessageBoxes.h"
#include "shell/QtMessageBoxes.h"
#include "support/RecordingMessageBoxes.h"

namespace {

using Answer = MessageBoxes::Answer;
using Buttons = MessageBoxes::Buttons;

struct BoxCase {
    QString text, caption;
    Buttons buttons;
    QString press;  // empty: Escape
    Answer answer;
    QString labels;  // sorted
    QString defaultButton;
};

const BoxCase BoxCases[] = {
    {"The MIDI mapper is not available. Continue?", "", Buttons::YesNo, "No", Answer::No, "No Yes",
     "Yes"},
    {"Enter a time!", "Zembla", Buttons::Ok, "OK", Answer::Ok, "OK", "OK"},
    {"Are your sure you wanna delete all data?", "", Buttons::OkCancel, "", Answer::Cancel,
     "Cancel OK", "OK"},
    {"Continue?", "", Buttons::YesNo, "", Answer::No, "No Yes", "Yes"},
};

TEST(QtMessageBoxes, ABoxShowsItsTextCaptionAndButtonsAndAnswersWithTheButtonPressedOrEscape) {
    for (const BoxCase& c : BoxCases) {
        SCOPED_TRACE(c.text.toStdString());
        bool seen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (seen || !box || !box->isVisible())
                return;
            seen = true;
            EXPECT_EQ(box->text(), c.text);
            EXPECT_EQ(box->windowTitle(), c.caption);
            QStringList labels;
            for (QAbstractButton* button : box->buttons())
                labels << button->text().remove('&');
            labels.sort();
            EXPECT_EQ(labels.join(' '), c.labels);
            EXPECT_EQ(box->defaultButton()->text().remove('&'), c.defaultButton);
            if (c.press.isEmpty()) {
                QTest::keyClick(box, Qt::Key_Escape);
                return;
            }
            for (QAbstractButton* button : box->buttons()) {
                if (button->text().remove('&') == c.press)
                    QTest::mouseClick(button, Qt::LeftButton);
            }
        });
        poll.start(10);
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            ADD_FAILURE() << "the message box did not close";
            if (QWidget* open = QApplication::activeModalWidget())
                open->close();
        });
        watchdog.start(20000);
        QtMessageBoxes real;
        EXPECT_EQ(real.Show(c.text, c.caption, c.buttons), c.answer);
        EXPECT_TRUE(seen);
    }
}

// The boxes every GUI test runs with must see what they were not told to expect, or a test
// would pass past a box it never answered.
TEST(RecordingMessageBoxes, ABoxWithoutItsAnswerOrAnAnswerLeftOverIsAFaultTheTestSees) {
    RecordingMessageBoxes unanswered;
    EXPECT_EQ(unanswered.Show("Are your sure?", "", MessageBoxes::Buttons::OkCancel),
              MessageBoxes::Answer::Cancel);
    EXPECT_EQ(unanswered.Faults().size(), 1);
    RecordingMessageBoxes wrongButton;
    wrongButton.QueueAnswer(MessageBoxes::Answer::Yes);
    EXPECT_EQ(wrongButton.Show("Couldn't load gui settings.", "", MessageBoxes::Buttons::Ok),
              MessageBoxes::Answer::Ok);
    EXPECT_EQ(wrongButton.Faults().size(), 1);
    RecordingMessageBoxes leftOver;
    leftOver.QueueAnswer(MessageBoxes::Answer::Ok);
    EXPECT_EQ(leftOver.Faults().size(), 1);
}

}  // namespace
