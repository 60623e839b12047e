#pragma once

#include <QString>
#include <cstdint>

class QWidget;

// Reading a dialog's number fields back from their controls' text, with the dialog's validation
// messages: the first field that fails shows its message (through MessageBoxes), takes the
// keyboard focus and stops the transfer, so the dialog stays open at that field.
namespace FieldExchange {

// A whole number (a sign may be typed) that fits 32 bits.
bool ReadInt(const QString& text, QWidget* control, int32_t& value);
// A whole number from min to max.
bool ReadUnsigned(const QString& text, QWidget* control, uint32_t min, uint32_t max,
                  uint32_t& value);

// The messages, for tests.
QString NotANumberMessage();
QString RangeMessage(uint32_t min, uint32_t max);

}  // namespace FieldExchange
