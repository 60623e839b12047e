#include "shell/FieldExchange.h"

#include <QWidget>
#include <limits>

#include "resources/Strings.h"
#include "shell/MessageBoxes.h"

namespace FieldExchange {

namespace {

bool Fail(QWidget* control, const QString& message) {
    MessageBoxes::Current().Show(message, QString::fromLatin1(Strings::AppTitle),
                                 MessageBoxes::Buttons::Ok);
    if (control)
        control->setFocus();
    return false;
}

// Blanks around the number are allowed, as a user types them; anything else is not a number.
bool ParseWhole(const QString& text, int64_t& value) {
    bool ok = false;
    value = text.trimmed().toLongLong(&ok);
    return ok;
}

}  // namespace

QString NotANumberMessage() {
    return QStringLiteral("Please enter an integer.");
}

QString RangeMessage(uint32_t min, uint32_t max) {
    return QStringLiteral("Please enter an integer between %1 and %2.").arg(min).arg(max);
}

bool ReadInt(const QString& text, QWidget* control, int32_t& value) {
    int64_t number = 0;
    if (!ParseWhole(text, number) || number < std::numeric_limits<int32_t>::min() ||
        number > std::numeric_limits<int32_t>::max())
        return Fail(control, NotANumberMessage());
    value = static_cast<int32_t>(number);
    return true;
}

bool ReadUnsigned(const QString& text, QWidget* control, uint32_t min, uint32_t max,
                  uint32_t& value) {
    int64_t number = 0;
    if (!ParseWhole(text, number))
        return Fail(control, NotANumberMessage());
    if (number < min || number > max)
        return Fail(control, RangeMessage(min, max));
    value = static_cast<uint32_t>(number);
    return true;
}

}  // namespace FieldExchange
