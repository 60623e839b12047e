// The one way the program shows message boxes: the real Qt boxes and the recording boxes every
// GUI test runs with.
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

// What a real box looked like while it was open.
struct SeenBox {
    bool seen = false;
    QString title, text;
    QStringList buttons;
    QString defaultButton, escapeButton;
};

// Shows a real box and, once it is open, reads it and presses the button labelled press (or
// Escape when press is empty).
Answer ShowRealBox(const QString& text, const QString& caption, Buttons buttons,
                   const QString& press, SeenBox& seen) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (seen.seen || !box || !box->isVisible())
            return;
        seen.seen = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        for (QAbstractButton* button : box->buttons())
            seen.buttons << button->text().remove('&');
        seen.buttons.sort();
        seen.defaultButton = box->defaultButton()->text().remove('&');
        seen.escapeButton = box->escapeButton()->text().remove('&');
        if (press.isEmpty()) {
            QTest::keyClick(box, Qt::Key_Escape);
            return;
        }
        for (QAbstractButton* button : box->buttons()) {
            if (button->text().remove('&') == press)
                QTest::mouseClick(button, Qt::LeftButton);
        }
    });
    poll.start(10);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        ADD_FAILURE() << "the message box did not close";
        if (QWidget* open = QApplication::activeModalWidget())
            open->close();
    });
    watchdog.start(20000);
    QtMessageBoxes real;
    return real.Show(text, caption, buttons);
}

TEST(RecordingMessageBoxes, RecordEveryTextAndCaptionAndGiveTheQueuedAnswersInTurn) {
    RecordingMessageBoxes& boxes = RecordingMessageBoxes::ForThisTest();
    ASSERT_EQ(&MessageBoxes::Current(), &boxes);
    boxes.QueueAnswer(Answer::No);
    boxes.QueueAnswer(Answer::Ok);

    EXPECT_EQ(MessageBoxes::Current().Show("The MIDI mapper is not available. Continue?", "",
                                           Buttons::YesNo),
              Answer::No);
    EXPECT_EQ(MessageBoxes::Current().Show("Enter a time!", "Zembla", Buttons::Ok), Answer::Ok);

    ASSERT_EQ(boxes.Shown().size(), 2u);
    EXPECT_EQ(boxes.Shown()[0].caption, "");
    EXPECT_EQ(boxes.Shown()[0].buttons, Buttons::YesNo);
    EXPECT_EQ(boxes.Shown()[1].caption, "Zembla");
    EXPECT_EQ(boxes.Texts(),
              QStringList({"The MIDI mapper is not available. Continue?", "Enter a time!"}));
    EXPECT_TRUE(boxes.Faults().isEmpty());
}

TEST(RecordingMessageBoxes, ABoxWithoutItsAnswerOrAnAnswerLeftOverIsAFaultTheTestSees) {
    RecordingMessageBoxes unanswered;
    EXPECT_EQ(unanswered.Show("Are your sure you wanna delete all data?", "", Buttons::OkCancel),
              Answer::Cancel);
    EXPECT_EQ(unanswered.Faults().size(), 1);

    RecordingMessageBoxes wrongButton;
    wrongButton.QueueAnswer(Answer::Yes);
    EXPECT_EQ(wrongButton.Show("Couldn't load gui settings.", "", Buttons::Ok), Answer::Ok);
    EXPECT_EQ(wrongButton.Faults().size(), 1);

    RecordingMessageBoxes leftOver;
    leftOver.QueueAnswer(Answer::Ok);
    EXPECT_EQ(leftOver.Faults().size(), 1);
    EXPECT_EQ(leftOver.Show("Enter a time!", "", Buttons::Ok), Answer::Ok);
    EXPECT_TRUE(leftOver.Faults().isEmpty());
}

TEST(QtMessageBoxes, AQuestionShowsItsTextCaptionAndButtonsAndAnswersWithTheButtonPressed) {
    SeenBox seen;
    EXPECT_EQ(
        ShowRealBox("The MIDI mapper is not available. Continue?", "", Buttons::YesNo, "No", seen),
        Answer::No);
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.text, "The MIDI mapper is not available. Continue?");
    EXPECT_EQ(seen.title, "");
    EXPECT_EQ(seen.buttons, QStringList({"No", "Yes"}));
    EXPECT_EQ(seen.defaultButton, "Yes");
    EXPECT_EQ(seen.escapeButton, "No");

    SeenBox ok;
    EXPECT_EQ(ShowRealBox("Enter a time!", "Zembla", Buttons::Ok, "OK", ok), Answer::Ok);
    EXPECT_EQ(ok.title, "Zembla");
    EXPECT_EQ(ok.buttons, QStringList({"OK"}));
}

TEST(QtMessageBoxes, EscapeAnswersCancelOrNo) {
    SeenBox okCancel;
    EXPECT_EQ(ShowRealBox("Are your sure you wanna delete all data?", "", Buttons::OkCancel, "",
                          okCancel),
              Answer::Cancel);
    EXPECT_EQ(okCancel.buttons, QStringList({"Cancel", "OK"}));
    EXPECT_EQ(okCancel.defaultButton, "OK");

    SeenBox yesNo;
    EXPECT_EQ(ShowRealBox("Continue?", "", Buttons::YesNo, "", yesNo), Answer::No);
    EXPECT_TRUE(yesNo.seen);
}

}  // namespace
