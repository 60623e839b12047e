#pragma once

#include <string>
#include <vector>

#include "platform/os/UserInterface.h"

// Collects what the engine would have shown, and answers questions with a fixed answer.
// Installs itself for its lifetime.
class RecordingUserInterface : public UserInterface {
  public:
    RecordingUserInterface() { SetUserInterface(this); }
    ~RecordingUserInterface() override { SetUserInterface(nullptr); }

    void ShowMessage(const std::string& text) override { Messages.push_back(text); }
    bool AskYesNo(const std::string& text, bool) override {
        Questions.push_back(text);
        return Answer;
    }

    std::vector<std::string> Messages;
    std::vector<std::string> Questions;
    bool Answer = true;
};
