#pragma once

#include <QString>
#include <Qt>

class QDialog;
class QDialogButtonBox;
class QPushButton;
class QWidget;

// The buttons of the program's dialogs. Each carries its control id as the property
// "controlId", by which the tests find it.

// A push button that Enter does not press (only OK is the dialog's default button).
QPushButton* DialogButton(const QString& text, int id, QWidget* parent);

// OK (id 1, the default button) and Cancel (id 2) in a box laid out in orientation: OK runs
// the dialog's accept(), Cancel its reject(). ok, when given, receives the OK button.
QDialogButtonBox* OkCancelButtons(QDialog& dialog, Qt::Orientation orientation,
                                  QPushButton** ok = nullptr);
