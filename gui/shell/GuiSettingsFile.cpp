#include "shell/GuiSettingsFile.h"

#include <QFile>
#include <QSaveFile>
#include <QtEndian>

namespace GuiSettingsFile {

bool Read(const QString& path, int32_t (&markers)[2]) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.read(8);
    if (bytes.isNull() && file.error() != QFileDevice::NoError)
        return false;
    for (int i = 0; i < 2 && bytes.size() >= 4 * (i + 1); ++i) {
        uint32_t value = 0;
        for (int b = 3; b >= 0; --b)
            value = value << 8 | static_cast<uint8_t>(bytes[4 * i + b]);
        markers[i] = static_cast<int32_t>(value);
    }
    return true;
}

bool Write(const QString& path, const int32_t (&markers)[2], QString& error) {
    char bytes[8];
    qToLittleEndian<int32_t>(markers[0], bytes);
    qToLittleEndian<int32_t>(markers[1], bytes + 4);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes, sizeof bytes) != sizeof bytes ||
        !file.commit()) {
        error = QStringLiteral("An unexpected error occurred while writing %1: %2")
                    .arg(QString::fromUtf8(Name), file.errorString());
        return false;
    }
    return true;
}

}  // namespace GuiSettingsFile
