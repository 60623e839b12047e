#pragma once

#include <QString>

// Every message box the program shows goes through the one installed MessageBoxes: the program
// shows real boxes (QtMessageBoxes), the tests install boxes that record the text and answer
// as the test said. Used on the GUI thread only; a box asked for from an engine thread is
// carried to the GUI thread by whoever asks.
class MessageBoxes {
  public:
    enum class Buttons { Ok, OkCancel, YesNo };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~MessageBoxes() = default;

    // Shows text under caption with the given buttons and returns once the user answered. The
    // first button is the default; Escape or closing the box answers Ok, Cancel or No.
    virtual Answer Show(const QString& text, const QString& caption, Buttons buttons) = 0;

    // The boxes the program shows now: the installed ones, else real Qt boxes.
    static MessageBoxes& Current();
    // Installs boxes for the whole process (nullptr goes back to the Qt boxes). Not owned: the
    // caller keeps them alive while they are installed.
    static void Install(MessageBoxes* boxes);

    // Whether answer is one of the buttons.
    static bool Offers(Buttons buttons, Answer answer);
    // The answer of Escape or of closing the box.
    static Answer EscapeAnswer(Buttons buttons);
};
