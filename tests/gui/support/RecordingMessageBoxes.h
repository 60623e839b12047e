#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "shell/MessageBoxes.h"

// Message boxes for tests: every box is recorded and answered with the next queued answer. A
// box with no answer queued, or one that does not offer the queued answer, is a fault (the box
// then takes its Escape answer); so is an answer still queued at the end.
//
// The GUI test programs install a fresh one for every test and fail the test on any fault
// left at its end: a test that expects a box queues its answer first.
class RecordingMessageBoxes : public MessageBoxes {
  public:
    struct Box {
        QString text;
        QString caption;
        Buttons buttons;
        Answer answer;
    };

    // The boxes installed for the running test.
    static RecordingMessageBoxes& ForThisTest();

    void QueueAnswer(Answer answer) { queued_.push_back(answer); }
    Answer Show(const QString& text, const QString& caption, Buttons buttons) override;

    const std::vector<Box>& Shown() const { return shown_; }
    QStringList Texts() const;
    // The faults so far, answers still queued included, in words.
    QStringList Faults() const;

  private:
    std::deque<Answer> queued_;
    std::vector<Box> shown_;
    QStringList faults_;
};
