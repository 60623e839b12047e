#include "shell/StripStateFile.h"

#include <QFile>
#include <QSaveFile>

namespace StripStateFile {

namespace {

// More strips than a song has are not read.
constexpr qint64 MaxStrips = 64;

}  // namespace

std::vector<unsigned char> Read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.read(MaxStrips);
    return {bytes.begin(), bytes.end()};
}

bool Write(const QString& path, const std::vector<unsigned char>& states) {
    QSaveFile file(path);
    const auto size = static_cast<qint64>(states.size());
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char*>(states.data()), size) == size && file.commit();
}

}  // namespace StripStateFile
