// hourloom-browser-host: the native-messaging host of the Hourloom browser extension. The
// browser starts it and writes the extension's reports of the active tab to its standard input;
// it keeps the latest one where the agent reads it, and removes it when the browser lets go.
#include "NativeMessageChannel.h"
#include "StateMessage.h"
#include "platform/services/browserstate/BrowserCatalog.h"
#include "platform/services/browserstate/BrowserStateStore.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <csignal>
#include <cstring>
#include <cstdio>
#include <unistd.h>

using namespace hourloom;

namespace {

// For the signal handler, which may only unlink a path it already has.
char stateFilePath[4096];

void removeStateAndExit(int)
{
    ::unlink(stateFilePath);
    ::_exit(0);
}

void complain(const char *what)
{
    std::fprintf(stderr, "hourloom-browser-host: %s\n", what);
}

// The browser that started this host is its parent: its program names the family.
QString browserFamilyId()
{
    QString program = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(::getppid()));
    program.remove(QStringLiteral(" (deleted)"));
    if (const BrowserFamily *family = BrowserCatalog::forExecutable(program))
        return family->id;
    // A browser the agent does not know still gets a file of its own, under its program's name.
    QString name = QFileInfo(program).fileName();
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.]")), QStringLiteral("_"));
    return name.isEmpty() ? QStringLiteral("unknown") : name;
}

} // namespace

int main()
{
    std::signal(SIGPIPE, SIG_IGN);
    const BrowserStateStore store;
    if (!store.preparePrivateDirectory()) {
        complain("the state folder cannot be made private to this user; not reporting");
        return 1;
    }
    const QString familyId = browserFamilyId();
    const ProcessIdentity self = ProcessIdentity::current();
    const QByteArray path = QFile::encodeName(store.stateFilePath(familyId, self.pid));
    if (path.size() >= qsizetype(sizeof stateFilePath)) {
        complain("the state folder's path is too long");
        return 1;
    }
    std::memcpy(stateFilePath, path.constData(), static_cast<size_t>(path.size()) + 1);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        std::signal(signal, removeStateAndExit);

    NativeMessageChannel channel(STDIN_FILENO, STDOUT_FILENO);
    // Tells the extension the host runs, so that it stops backing off.
    channel.write(QByteArrayLiteral(R"({"type":"ready"})"));
    QByteArray message;
    for (;;) {
        const auto read = channel.read(message);
        if (read == NativeMessageChannel::Read::end)
            break;
        if (read == NativeMessageChannel::Read::skipped) {
            complain("dropped an oversized message");
            continue;
        }
        const auto state = StateMessage::parse(message);
        if (!state) {
            complain("dropped a message that is not a state report");
            continue;
        }
        if (!store.write(familyId, BrowserState{state->origin, state->windowFocused, state->privateTab, QDateTime::currentMSecsSinceEpoch(), self}))
            complain("could not write the state file");
    }
    store.remove(familyId, self.pid);
    return 0;
}
