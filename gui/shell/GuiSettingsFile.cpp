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
    for (int i = 0; i < 2 && bytes.size() >= 4 * (i + 1); ++i)
        markers[i] = qFromLittleEndian<int32_t>(bytes.constData() + 4 * i);
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
