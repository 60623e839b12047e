#include "shell/MessageBoxes.h"

#include "shell/QtMessageBoxes.h"

namespace {

MessageBoxes* installed = nullptr;

}  // namespace

MessageBoxes& MessageBoxes::Current() {
    if (installed)
        return *installed;
    static QtMessageBoxes qtBoxes;
    return qtBoxes;
}

void MessageBoxes::Install(MessageBoxes* boxes) {
    installed = boxes;
}

bool MessageBoxes::Offers(Buttons buttons, Answer answer) {
    switch (buttons) {
        case Buttons::Ok:
            return answer == Answer::Ok;
        case Buttons::OkCancel:
            return answer == Answer::Ok || answer == Answer::Cancel;
        case Buttons::YesNo:
            return answer == Answer::Yes || answer == Answer::No;
    }
    return false;
}

MessageBoxes::Answer MessageBoxes::EscapeAnswer(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::OkCancel:
            return Answer::Cancel;
        case Buttons::YesNo:
            return Answer::No;
    }
    return Answer::Ok;
}
