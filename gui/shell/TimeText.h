#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// The time field's text: minutes (at least two digits), seconds and milliseconds.

// "%.2d:%.2d:%.3d" of ms / 60000, (ms mod 60000) / 1000 and ms mod 1000.
QString FormatTimeText(uint32_t ms);

// What a typed time means: up to three numbers, each ended by one separator, taken as minutes,
// then seconds, then milliseconds (seconds above 59 as they are; a number too large for 32
// bits as 4294967295; the sum wraps at 32 bits). Only digits and ':' are allowed; the empty
// text is 0.
struct ParsedTime {
    std::optional<uint32_t> ms;
    QString error;  // the message to show when ms is empty
};
ParsedTime ParseTimeText(const QString& text);

inline constexpr const char* EnterATimeText = "Enter a time!";
inline constexpr const char* TooManyFieldsText = "To many fields, enter a time!";
