#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

namespace hourloom::test {

// Another user of this machine: nobody (65534), acting through setpriv, which only root may
// use. Tests of what another user can do to this one skip themselves unless they run as root.
struct AnotherUser {
    static constexpr uid_t uid = 65534;

    static bool canAct() { return ::geteuid() == 0; }

    // Runs a shell command as that user; true when it succeeded.
    static bool run(const QString &command)
    {
        QProcess shell;
        shell.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"),
                                                QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"), command});
        return shell.waitForFinished(10000) && shell.exitStatus() == QProcess::NormalExit && shell.exitCode() == 0;
    }

    // A folder like /tmp, where every user may add entries and none may remove another's, in
    // a test's temporary folder, which the other user must be able to pass through.
    static bool makeShared(const QString &path)
    {
        const QByteArray parent = QFile::encodeName(QFileInfo(path).path());
        return QDir().mkpath(path) && ::chmod(parent.constData(), 0755) == 0 && ::chmod(QFile::encodeName(path).constData(), 01777) == 0;
    }
};

} // namespace hourloom::test
