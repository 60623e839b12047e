#pragma once

#include <QObject>

// Keeps the main window's keys without a modifier (Space, R, Esc, the arrows, Home, End, Page
// Up, Page Down) out of text fields: while one has the keyboard focus they edit its text and
// never start playback or recording. Keys with Ctrl, Alt or Meta, and the function keys, stay
// commands everywhere. Installed on the application.
class TextFieldKeyGuard : public QObject {
  public:
    using QObject::QObject;

    // Whether a key press of key with modifiers goes to the focused text field rather than to
    // a shortcut.
    static bool KeepsInTextField(int key, Qt::KeyboardModifiers modifiers);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
