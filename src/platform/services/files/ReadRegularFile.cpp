#include "ReadRegularFile.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace hourloom {

std::optional<RegularFileContents> readRegularFile(const QString &path, qint64 maxSize, Symlinks symlinks)
{
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (symlinks == Symlinks::refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0)
        return std::nullopt;
    RegularFileContents contents{{}, {}};
    bool complete = ::fstat(fd, &contents.info) == 0 && S_ISREG(contents.info.st_mode) && contents.info.st_size <= maxSize;
    if (complete) {
        contents.bytes.resize(static_cast<qsizetype>(contents.info.st_size));
        qsizetype filled = 0;
        while (filled < contents.bytes.size()) {
            const ssize_t n = ::read(fd, contents.bytes.data() + filled, static_cast<size_t>(contents.bytes.size() - filled));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            filled += n;
        }
        // A file that shrank meanwhile gives what it still held.
        contents.bytes.resize(filled);
    }
    ::close(fd);
    if (!complete)
        return std::nullopt;
    return contents;
}

} // namespace hourloom
