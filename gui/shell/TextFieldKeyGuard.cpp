#include "shell/TextFieldKeyGuard.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

bool IsTextField(const QWidget* widget) {
    if (!widget)
        return false;
    if (auto* edit = qobject_cast<const QLineEdit*>(widget))
        return !edit->isReadOnly();
    if (auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->isEditable();
    return qobject_cast<const QTextEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget);
}

}  // namespace

bool TextFieldKeyGuard::KeepsInTextField(int key, Qt::KeyboardModifiers modifiers) {
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    return key < Qt::Key_F1 || key > Qt::Key_F35;
}

bool TextFieldKeyGuard::eventFilter(QObject* watched, QEvent* event) {
    // Accepting the override hands the key to the focused widget instead of a shortcut.
    if (event->type() == QEvent::ShortcutOverride && watched == QApplication::focusWidget() &&
        IsTextField(QApplication::focusWidget())) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (KeepsInTextField(key->key(), key->modifiers())) {
            event->accept();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
