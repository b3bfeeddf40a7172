#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

#include <sys/stat.h>

namespace hourloom::test {

// Writes the file anew with the bytes; false when it could not be written whole.
inline bool writeFile(const QString &path, const QByteArray &bytes = {})
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The file's bytes; none when it cannot be read.
inline std::optional<QByteArray> readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? std::optional(file.readAll()) : std::nullopt;
}

// The file's permission bits; -1 when it does not exist.
inline int permissionsOf(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

} // namespace hourloom::test
