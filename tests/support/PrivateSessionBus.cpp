#include "PrivateSessionBus.h"

#include "TestProcesses.h"

#include <QDeadlineTimer>

namespace hourloom::test {

PrivateSessionBus::PrivateSessionBus(const QString &configFile, const QProcessEnvironment &environment)
{
    daemon_.setProcessEnvironment(environment);
    daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The daemon prints its address once it accepts connections.
    daemon_.start(QStringLiteral("dbus-daemon"), {configFile.isEmpty() ? QStringLiteral("--session") : QStringLiteral("--config-file=") + configFile,
                                                  QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!daemon_.waitForStarted(5000)) {
        error_ = QStringLiteral("dbus-daemon did not start (is the dbus-daemon package installed?)");
        return;
    }
    QByteArray printed;
    const QDeadlineTimer deadline(10000);
    while (!printed.contains('\n') && !deadline.hasExpired() && daemon_.state() == QProcess::Running) {
        daemon_.waitForReadyRead(100);
        printed += daemon_.readAllStandardOutput();
    }
    address_ = QString::fromUtf8(printed.left(printed.indexOf('\n'))).trimmed();
    if (address_.isEmpty())
        error_ = QStringLiteral("dbus-daemon printed no address");
}

PrivateSessionBus::~PrivateSessionBus()
{
    stopProcess(daemon_);
}

} // namespace hourloom::test
