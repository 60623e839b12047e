// The engine's boxes in the program: shown on the GUI thread whichever thread asks, and never
// waited for once the program quits.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "shell/EngineMessages.h"
#include "support/RecordingMessageBoxes.h"

namespace {

using namespace std::chrono_literals;
using Answer = MessageBoxes::Answer;
using Buttons = MessageBoxes::Buttons;

constexpr const char* Question = "The MIDI mapper is not available. Continue?";

// Runs the GUI thread's events until the answer came, for at most 10 s.
template <typename T>
bool ProcessEventsUntilReady(std::future<T>& answer) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (answer.wait_for(1ms) != std::future_status::ready) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents();
    }
    return true;
}

// The test's boxes, which also note whether every box opened on the GUI thread.
class GuiThreadBoxes : public MessageBoxes {
  public:
    Answer Show(const QString& text, const QString& caption, Buttons buttons) override {
        onGuiThread = onGuiThread && QThread::currentThread() == qApp->thread();
        return RecordingMessageBoxes::ForThisTest().Show(text, caption, buttons);
    }
    bool onGuiThread = true;
};

}  // namespace

TEST(EngineMessages, AQuestionFromAnEngineThreadIsAnsweredInABoxOnTheGuiThread) {
    RecordingMessageBoxes& boxes = RecordingMessageBoxes::ForThisTest();
    GuiThreadBoxes checking;
    MessageBoxes::Install(&checking);
    EngineMessages messages;
    boxes.QueueAnswer(Answer::No);
    boxes.QueueAnswer(Answer::Ok);

    std::future<bool> answer =
        std::async(std::launch::async, [] { return AskUser(Question, true); });
    ASSERT_TRUE(ProcessEventsUntilReady(answer));
    EXPECT_FALSE(answer.get()) << "the user's No, not the default";
    std::future<void> shown =
        std::async(std::launch::async, [] { ShowUserMessage("Can't open file: a.wav"); });
    ASSERT_TRUE(ProcessEventsUntilReady(shown));

    EXPECT_EQ(boxes.Texts(), QStringList({Question, "Can't open file: a.wav"}));
    ASSERT_EQ(boxes.Shown().size(), 2u);
    EXPECT_TRUE(boxes.Shown()[0].caption == "" && boxes.Shown()[0].buttons == Buttons::YesNo);
    EXPECT_TRUE(boxes.Shown()[1].caption == "Zembla" && boxes.Shown()[1].buttons == Buttons::Ok);

    // On the GUI thread the box opens at once, without the event loop.
    boxes.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(AskUser(Question, false));
    EXPECT_TRUE(checking.onGuiThread);
    MessageBoxes::Install(&boxes);
}

TEST(EngineMessages, OnceTheProgramQuitsAWaitingQuestionTakesItsDefaultAndNoBoxOpens) {
    RecordingMessageBoxes& boxes = RecordingMessageBoxes::ForThisTest();
    EngineMessages messages;
    std::atomic<bool> asking{false};
    std::future<bool> answer = std::async(std::launch::async, [&] {
        asking = true;
        return AskUser(Question, true);
    });
    while (!asking)
        std::this_thread::sleep_for(1ms);
    // The GUI thread does not run its events now: it is, say, waiting in Terminate.
    std::this_thread::sleep_for(50ms);
    messages.BeginQuitting();
    ASSERT_EQ(answer.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(answer.get());
    EXPECT_FALSE(AskUser(Question, false)) << "a question after quitting began";
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.Shown().empty());
}
