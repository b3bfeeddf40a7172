#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

#include <optional>

namespace hourloom {

// A regular file's bytes and what fstat said about it when it was read.
struct RegularFileContents {
    QByteArray bytes;
    struct stat info;
};

enum class Symlinks { follow, refuse };

// Reads a regular file of at most maxSize bytes without ever blocking: it is opened
// non-blocking (a FIFO or a device would otherwise hold the open or the read forever) and
// refused unless fstat says it is a regular file within the size. None when it cannot be read
// or is refused.
std::optional<RegularFileContents> readRegularFile(const QString &path, qint64 maxSize, Symlinks symlinks);

} // namespace hourloom
