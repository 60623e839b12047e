// The time field: its text both ways, and what Enter does with it.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "shell/TimeEdit.h"
#include "shell/TimeText.h"
#include "support/RecordingMessageBoxes.h"

TEST(TimeText, ShowsMinutesWithAtLeastTwoDigitsThenSecondsAndMilliseconds) {
    EXPECT_EQ(FormatTimeText(0), "00:00:000");
    EXPECT_EQ(FormatTimeText(61005), "01:01:005");
    EXPECT_EQ(FormatTimeText(6000000), "100:00:000");
    EXPECT_EQ(FormatTimeText(UINT32_MAX), "71582:47:295");
}

TEST(TimeText, UpToThreeNumbersAreMinutesSecondsAndMillisecondsAndAnythingElseIsNoTime) {
    const std::vector<std::pair<const char*, uint32_t>> times = {
        {"1:30", 90000},
        {"2", 120000},
        {"0:0:250", 250},
        {"1:2:3", 62003},
        {"1:75", 135000},
        {"", 0},
        {"::", 0},
        {"1:", 60000},
        // A number past 32 bits counts as 4294967295; the sum wraps at 32 bits.
        {"0:0:99999999999", 4294967295u},
        {"0:4294967296", 4294966296u},
        {"71583", 12704}};
    for (const auto& [text, ms] : times)
        EXPECT_EQ(ParseTimeText(text).ms, ms) << text;
    for (const char* text : {"1.5", " 1", "-1", "1:2:3.4"})
        EXPECT_TRUE(ParseTimeText(text).error == "Enter a time!" && !ParseTimeText(text).ms)
            << text;
    for (const char* text : {"1:2:3:", ":::", "1:2:3:4"})
        EXPECT_EQ(ParseTimeText(text).error, "To many fields, enter a time!") << text;
}

TEST(TimeEdit, EnterOnATimeAsksToGoThereAndOnAnythingElseShowsOneBoxAndKeepsTheText) {
    RecordingMessageBoxes& boxes = RecordingMessageBoxes::ForThisTest();
    TimeEdit field;
    QSignalSpy gotoTime(&field, &TimeEdit::GotoTime);
    field.setText("3:00");
    QTest::keyClick(&field, Qt::Key_Return);
    field.setText("0:0:250");
    QTest::keyClick(&field, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(gotoTime.count(), 2);
    EXPECT_EQ(gotoTime.at(0).at(0).toUInt(), 180000u);
    EXPECT_EQ(gotoTime.at(1).at(0).toUInt(), 250u);
    EXPECT_EQ(field.text(), "0:0:250");

    for (const char* text : {"1.5", "1:2:3:"}) {
        boxes.QueueAnswer(MessageBoxes::Answer::Ok);
        field.setText(text);
        QTest::keyClick(&field, Qt::Key_Return);
        EXPECT_EQ(field.text(), text);
    }
    EXPECT_EQ(gotoTime.count(), 2);
    EXPECT_EQ(boxes.Texts(), QStringList({"Enter a time!", "To many fields, enter a time!"}));
    EXPECT_EQ(boxes.Shown().at(0).buttons, MessageBoxes::Buttons::Ok);
    // Called directly, the failure is thrown after the box, carrying its text.
    boxes.QueueAnswer(MessageBoxes::Answer::Ok);
    try {
        field.ParseTime();
        ADD_FAILURE() << "no exception";
    } catch (const TimeTextError& error) {
        EXPECT_EQ(error.Message(), "To many fields, enter a time!");
        EXPECT_EQ(boxes.Shown().size(), 3u);
    }
}

TEST(TimeEdit, TakesTenTypedCharactersButShowsAnyPositionWhole) {
    TimeEdit field;
    QTest::keyClicks(&field, "12345678901");
    EXPECT_EQ(field.text(), "1234567890");
    field.FormatTime(1000 * 60000 + 5);  // 1000 minutes: 11 characters
    EXPECT_EQ(field.text(), "1000:00:005");
    field.FormatTime(754321);
    EXPECT_EQ(field.text(), "12:34:321");
    field.selectAll();
    QTest::keyClicks(&field, "12345678901");
    EXPECT_EQ(field.text(), "1234567890");
}
