#include "shell/EngineMessages.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <memory>

#include "resources/Strings.h"
#include "shell/MessageBoxes.h"

// One box carried to the GUI thread; shared, so that an engine thread that stopped waiting
// (the program is quitting) and a box that still opens never touch freed memory.
struct EngineMessages::Request {
    bool done = false;
    bool answer = false;
};

EngineMessages::EngineMessages(QObject* parent) : QObject(parent) {
    SetUserInterface(this);
}

EngineMessages::~EngineMessages() {
    SetUserInterface(nullptr);
    BeginQuitting();
}

void EngineMessages::ShowMessage(const std::string& text) {
    Ask(text, false, false);
}

bool EngineMessages::AskYesNo(const std::string& text, bool defaultAnswer) {
    return Ask(text, true, defaultAnswer);
}

void EngineMessages::BeginQuitting() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        quitting_ = true;
    }
    answered_.notify_all();
}

bool EngineMessages::ShowOnGuiThread(const std::string& text, bool question) {
    const MessageBoxes::Answer answer = MessageBoxes::Current().Show(
        QString::fromStdString(text), question ? QString() : QString::fromUtf8(Strings::AppTitle),
        question ? MessageBoxes::Buttons::YesNo : MessageBoxes::Buttons::Ok);
    return answer == MessageBoxes::Answer::Yes;
}

bool EngineMessages::Ask(const std::string& text, bool question, bool defaultAnswer) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (quitting_)
            return defaultAnswer;
    }
    if (QThread::currentThread() == thread())
        return ShowOnGuiThread(text, question);

    auto request = std::make_shared<Request>();
    QMetaObject::invokeMethod(
        this,
        [this, request, text, question] {
            {
                std::lock_guard<std::mutex> guard(lock_);
                if (quitting_)
                    return;
            }
            const bool answer = ShowOnGuiThread(text, question);
            {
                std::lock_guard<std::mutex> guard(lock_);
                request->answer = answer;
                request->done = true;
            }
            answered_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> guard(lock_);
    answered_.wait(guard, [&] { return request->done || quitting_; });
    return request->done ? request->answer : defaultAnswer;
}
