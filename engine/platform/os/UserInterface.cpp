#include "platform/os/UserInterface.h"

#include <atomic>
#include <cstdio>

namespace {
std::atomic<UserInterface*> installed{nullptr};
}

UserInterface::~UserInterface() = default;

void SetUserInterface(UserInterface* ui) {
    installed.store(ui);
}

void ShowUserMessage(const std::string& text) {
    if (UserInterface* ui = installed.load()) {
        ui->ShowMessage(text);
        return;
    }
    std::fprintf(stderr, "%s\n", text.c_str());
}

bool AskUser(const std::string& text, bool defaultAnswer) {
    if (UserInterface* ui = installed.load())
        return ui->AskYesNo(text, defaultAnswer);
    std::fprintf(stderr, "%s [%s]\n", text.c_str(), defaultAnswer ? "yes" : "no");
    return defaultAnswer;
}
