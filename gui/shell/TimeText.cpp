#include "shell/TimeText.h"

#include <array>

QString FormatTimeText(uint32_t ms) {
    return QString::asprintf("%.2u:%.2u:%.3u", ms / 60000, ms % 60000 / 1000, ms % 1000);
}

ParsedTime ParseTimeText(const QString& text) {
    for (QChar c : text) {
        if (!(c >= u'0' && c <= u'9') && c != u':')
            return {std::nullopt, QString::fromLatin1(EnterATimeText)};
    }
    std::array<uint32_t, 3> fields{0, 0, 0};
    qsizetype at = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        uint64_t value = 0;
        for (; at < text.size() && text[at] != u':'; ++at)
            value = std::min<uint64_t>(value * 10 + (text[at].unicode() - u'0'), UINT32_MAX);
        fields[i] = static_cast<uint32_t>(value);
        if (at == text.size())
            break;
        ++at;  // the separator
        if (i + 1 == fields.size())
            return {std::nullopt, QString::fromLatin1(TooManyFieldsText)};
    }
    return {fields[0] * 60000u + fields[1] * 1000u + fields[2], {}};
}
