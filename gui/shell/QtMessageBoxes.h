#pragma once

#include "shell/MessageBoxes.h"

// Real message boxes: a modal QMessageBox over the active window.
class QtMessageBoxes : public MessageBoxes {
  public:
    Answer Show(const QString& text, const QString& caption, Buttons buttons) override;
};
