// The time field: its text both ways, and what Enter does with it.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <cstdint>
#include <vector>

#include "shell/TimeEdit.h"
#include "shell/TimeText.h"
#include "support/RecordingMessageBoxes.h"
#include "support/Screenshots.h"

namespace {

std::optional<uint32_t> Parse(const char* text) {
    return ParseTimeText(QString::fromLatin1(text)).ms;
}

QString ErrorOf(const char* text) {
    return ParseTimeText(QString::fromLatin1(text)).error;
}

}  // namespace

TEST(TimeText, ShowsMinutesWithAtLeastTwoDigitsThenSecondsAndMilliseconds) {
    EXPECT_EQ(FormatTimeText(0), "00:00:000");
    EXPECT_EQ(FormatTimeText(61005), "01:01:005");
    EXPECT_EQ(FormatTimeText(6000000), "100:00:000");
    EXPECT_EQ(FormatTimeText(UINT32_MAX), "71582:47:295");
}

TEST(TimeText, OneTwoOrThreeNumbersAreMinutesSecondsAndMilliseconds) {
    EXPECT_EQ(Parse("1:30"), 90000u);
    EXPECT_EQ(Parse("2"), 120000u);
    EXPECT_EQ(Parse("0:0:250"), 250u);
    EXPECT_EQ(Parse("1:2:3"), 62003u);
    EXPECT_EQ(Parse("1:75"), 135000u);  // seconds above 59 as they are
    EXPECT_EQ(Parse("01:01:005"), 61005u);
    // Missing numbers are 0.
    EXPECT_EQ(Parse(""), 0u);
    EXPECT_EQ(Parse("::"), 0u);
    EXPECT_EQ(Parse("1:"), 60000u);
    EXPECT_EQ(Parse(":5"), 5000u);
    // A number past 32 bits counts as 4294967295, and the sum wraps at 32 bits.
    EXPECT_EQ(Parse("0:0:99999999999"), 4294967295u);
    EXPECT_EQ(Parse("0:4294967296"), uint32_t(4294967295u * 1000u));
    EXPECT_EQ(Parse("71583"), 12704u);  // 4294980000 less 2^32
    EXPECT_EQ(ErrorOf("1:30"), "");
}

TEST(TimeText, AnythingButDigitsAndColonsOrAFourthFieldIsNoTime) {
    for (const char* text : {"1.5", "1:3o", " 1", "-1", "1:2:3.4", "1::2:x"}) {
        EXPECT_FALSE(Parse(text)) << text;
        EXPECT_EQ(ErrorOf(text), "Enter a time!") << text;
    }
    for (const char* text : {"1:2:3:", ":::", "1:2:3:4"}) {
        EXPECT_FALSE(Parse(text)) << text;
        EXPECT_EQ(ErrorOf(text), "To many fields, enter a time!") << text;
    }
}

TEST(TimeEdit, EnterOnATimeAsksToGoThereAndLeavesTheText) {
    TimeEdit field;
    QSignalSpy gotoTime(&field, &TimeEdit::GotoTime);
    field.setText("3:00");
    QTest::keyClick(&field, Qt::Key_Return);
    ASSERT_EQ(gotoTime.count(), 1);
    EXPECT_EQ(gotoTime.at(0).at(0).toUInt(), 180000u);
    EXPECT_EQ(field.text(), "3:00");
    field.setText("0:0:250");
    QTest::keyClick(&field, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(gotoTime.count(), 2);
    EXPECT_EQ(gotoTime.at(1).at(0).toUInt(), 250u);
    // Other keys edit the text and ask for nothing.
    QTest::keyClick(&field, Qt::Key_Backspace);
    QTest::keyClicks(&field, "9");
    EXPECT_EQ(field.text(), "0:0:259");
    EXPECT_EQ(gotoTime.count(), 2);
}

TEST(TimeEdit, ABadTimeShowsOneBoxWithItsTextAndKeepsTheTextWithoutMoving) {
    RecordingMessageBoxes& boxes = RecordingMessageBoxes::ForThisTest();
    TimeEdit field;
    QSignalSpy gotoTime(&field, &TimeEdit::GotoTime);
    for (const char* text : {"1.5", "1:2:3:"}) {
        boxes.QueueAnswer(MessageBoxes::Answer::Ok);
        field.setText(text);
        QTest::keyClick(&field, Qt::Key_Return);
        EXPECT_EQ(field.text(), text);
    }
    EXPECT_EQ(gotoTime.count(), 0);
    EXPECT_EQ(boxes.Texts(), QStringList({"Enter a time!", "To many fields, enter a time!"}));
    for (const RecordingMessageBoxes::Box& box : boxes.Shown())
        EXPECT_EQ(box.buttons, MessageBoxes::Buttons::Ok);

    // Called directly, the failure is thrown after the box, carrying its text.
    boxes.QueueAnswer(MessageBoxes::Answer::Ok);
    field.setText("1.5");
    try {
        field.ParseTime();
        ADD_FAILURE() << "no exception";
    } catch (const TimeTextError& error) {
        EXPECT_EQ(error.Message(), "Enter a time!");
        EXPECT_EQ(boxes.Shown().size(), 3u);
    }
}

TEST(TimeEdit, HoldsTenTypedCharactersButShowsAnyPositionWhole) {
    TimeEdit field;
    QTest::keyClicks(&field, "12345678901");
    EXPECT_EQ(field.text(), "1234567890");

    field.FormatTime(61005);
    EXPECT_EQ(field.text(), "01:01:005");
    field.FormatTime(1000 * 60000 + 5);  // 1000 minutes: 11 characters
    EXPECT_EQ(field.text(), "1000:00:005");
    field.FormatTime(180000);
    EXPECT_EQ(field.text(), "03:00:000");
    field.selectAll();
    QTest::keyClicks(&field, "12345678901");
    EXPECT_EQ(field.text(), "1234567890");

    field.resize(90, 22);
    field.FormatTime(754321);
    EXPECT_TRUE(SaveScreenshot(field, "time-field"));
}
