#pragma once

#include <QObject>
#include <condition_variable>
#include <mutex>

#include "platform/os/UserInterface.h"

// The engine's boxes (its errors shown to the user, the MIDI question) in the program's
// MessageBoxes. A box asked for on the GUI thread opens at once; one from an engine thread is
// carried to the GUI thread, and the engine thread waits for the answer there. Once the
// program begins to quit, questions that are waiting or still to come take their default
// answer and messages are dropped: the GUI thread may then be waiting for that very engine
// thread (Terminate joins the MIDI thread), and must not wait for a box it will never show.
class EngineMessages : public QObject, public UserInterface {
  public:
    // Installs itself as the engine's hook, and removes itself when destroyed: destroy it
    // after the engine's threads ended (after Terminate).
    explicit EngineMessages(QObject* parent = nullptr);
    ~EngineMessages() override;

    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text, bool defaultAnswer) override;

    // GUI thread, before the engine shuts down.
    void BeginQuitting();

  private:
    struct Request;
    // Opens the box on the GUI thread, or answers with the default once quitting.
    bool Ask(const std::string& text, bool question, bool defaultAnswer);
    static bool ShowOnGuiThread(const std::string& text, bool question);

    std::mutex lock_;
    std::condition_variable answered_;
    bool quitting_ = false;
};
