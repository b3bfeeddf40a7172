#include "BrowserStateStore.h"

#include "platform/services/files/PrivateFolder.h"
#include "platform/services/files/ReadRegularFile.h"
#include "platform/services/files/WriteAll.h"

#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace hourloom {

namespace {

// A host's state is a few hundred bytes; anything far larger is not one.
constexpr off_t maxStateFileSize = 64 * 1024;

bool isPrivateDirectory(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid()
        && (info.st_mode & 077) == 0;
}

} // namespace

QString BrowserStateStore::defaultDirectory()
{
    return privateRuntimeFolder() + QStringLiteral("/browser");
}

BrowserStateStore::BrowserStateStore(QString directory)
    : directory_(std::move(directory))
{
}

bool BrowserStateStore::preparePrivateDirectory() const
{
    // The parent is ours too, so that nobody can swap the folder for another.
    return makePrivateFolder(QFileInfo(directory_).path()) && makePrivateFolder(directory_);
}

QString BrowserStateStore::stateFilePath(const QString &familyId, qint64 pid) const
{
    return directory_ + QStringLiteral("/%1-%2.json").arg(familyId).arg(pid);
}

bool BrowserStateStore::write(const QString &familyId, const BrowserState &state) const
{
    const QString target = stateFilePath(familyId, state.writer.pid);
    QByteArray temporary = QFile::encodeName(directory_ + QStringLiteral("/.%1-%2.XXXXXX").arg(familyId).arg(state.writer.pid));
    // mkstemp makes the file 0600; renaming it over the old one lets no reader see half a state.
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, state.toJson());
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(temporary.constData(), QFile::encodeName(target).constData()) == 0)
        return true;
    ::unlink(temporary.constData());
    return false;
}

void BrowserStateStore::remove(const QString &familyId, qint64 pid) const
{
    ::unlink(QFile::encodeName(stateFilePath(familyId, pid)).constData());
}

std::optional<BrowserState> BrowserStateStore::current(const QString &familyId) const
{
    if (!isPrivateDirectory(directory_))
        return std::nullopt;
    DIR *folder = ::opendir(QFile::encodeName(directory_).constData());
    if (!folder)
        return std::nullopt;
    const QByteArray prefix = QFile::encodeName(familyId) + '-';
    std::optional<BrowserState> chosen;
    while (const dirent *entry = ::readdir(folder)) {
        // Exactly <family>-<pid>.json: "google-chrome-" also begins Chrome Canary's files.
        const QByteArray name(entry->d_name);
        if (!name.startsWith(prefix) || !name.endsWith(".json"))
            continue;
        const QByteArray pid = name.sliced(prefix.size(), name.size() - prefix.size() - 5);
        if (pid.isEmpty() || !std::all_of(pid.cbegin(), pid.cend(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const auto state = readBelieved(directory_ + QLatin1Char('/') + QFile::decodeName(name));
        if (!state)
            continue;
        if (!chosen || std::pair(state->windowFocused, state->updatedAt) > std::pair(chosen->windowFocused, chosen->updatedAt))
            chosen = state;
    }
    ::closedir(folder);
    return chosen;
}

std::optional<BrowserState> BrowserStateStore::readBelieved(const QString &path) const
{
    const auto file = readRegularFile(path, maxStateFileSize, Symlinks::refuse);
    if (!file || file->info.st_uid != ::geteuid() || (file->info.st_mode & 077) != 0)
        return std::nullopt;
    auto state = BrowserState::fromJson(file->bytes);
    if (!state || !state->writer.isRunning())
        return std::nullopt;
    return state;
}

} // namespace hourloom
