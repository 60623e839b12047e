#include "views/MarkerButton.h"

MarkerButton::MarkerButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setFlat(true);
    setEnabled(false);
}
