#pragma once

#include <string>

#include "core/PalkExport.h"

// The engine never opens a window itself: message boxes it raises (errors shown to the user,
// questions about the MIDI synthesizer) go through the hook the program installs. The hook
// may be called from any engine thread; the program marshals to its GUI thread. Without a
// hook the text goes to stderr and questions take their default answer.
class PALKENG_API UserInterface {
  public:
    virtual ~UserInterface();
    // A message box with an OK button; returns when the user closed it.
    virtual void ShowMessage(const std::string& text) = 0;
    // A yes/no question; returns true for yes.
    virtual bool AskYesNo(const std::string& text, bool defaultAnswer) = 0;
};

// Installs the hook (nullptr removes it). The engine does not own it.
PALKENG_API void SetUserInterface(UserInterface* ui);

// What the engine calls.
void ShowUserMessage(const std::string& text);
bool AskUser(const std::string& text, bool defaultAnswer);
