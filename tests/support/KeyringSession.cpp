#include "KeyringSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

#include <csignal>

namespace hourloom::test {

void KeyringSession::SetUp()
{
    ready() = start();
}

bool KeyringSession::start()
{
    if (!home_.isValid())
        return false;
    QDir(home_.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(home_.filePath(QStringLiteral("runtime")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home_.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home_.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.filePath(QStringLiteral("runtime")));
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    // No display: a prompt must fail at once rather than wait for a user.
    environment.remove(QStringLiteral("DISPLAY"));
    session_.setProcessEnvironment(environment);
    session_.setProcessChannelMode(QProcess::SeparateChannels);
    // The shell reports the bus address and its own pid, then becomes the keyring daemon, which
    // reads the login password from standard input. When the daemon ends, so does the bus.
    session_.start(QStringLiteral("dbus-run-session"),
                   {QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"),
                    QStringLiteral("echo \"$DBUS_SESSION_BUS_ADDRESS\"; echo $$; "
                                   "exec gnome-keyring-daemon --foreground --unlock --components=secrets")});
    if (!session_.waitForStarted(5000)) {
        ADD_FAILURE() << "dbus-run-session is missing (package dbus-daemon)";
        return false;
    }
    // An empty password would create no login keyring, and the first store would prompt.
    session_.write("hourloom-test-keyring");
    session_.closeWriteChannel();

    QByteArray header;
    const QDeadlineTimer deadline(10000);
    while (header.count('\n') < 2 && !deadline.hasExpired() && session_.state() == QProcess::Running) {
        session_.waitForReadyRead(50);
        header += session_.readAllStandardOutput();
    }
    const QList<QByteArray> lines = header.split('\n');
    if (lines.size() < 3) {
        ADD_FAILURE() << "no session bus: " << session_.readAllStandardError().toStdString();
        return false;
    }
    keyringPid_ = lines[1].toLongLong();
    qputenv("DBUS_SESSION_BUS_ADDRESS", lines[0]);
    if (!waitUntilReady()) {
        ADD_FAILURE() << "gnome-keyring did not serve the Secret Service ("
                      << (session_.state() == QProcess::Running ? "still running" : "it ended") << "): "
                      << session_.readAllStandardError().toStdString();
        return false;
    }
    return true;
}

namespace {

QByteArray dbusCall(const QString &destination, const QString &path, const QString &method, const QString &argument)
{
    QProcess call;
    call.start(QStringLiteral("dbus-send"), {QStringLiteral("--session"), QStringLiteral("--print-reply"), QStringLiteral("--dest=") + destination,
                                             path, method, argument});
    call.waitForFinished(2000);
    return call.readAllStandardOutput();
}

} // namespace

bool KeyringSession::waitUntilReady()
{
    // Generous: under a loaded parallel test run the daemon has been seen to need more than 10 s
    // to create its login keyring.
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && session_.state() == QProcess::Running) {
        // Asking org.freedesktop.secrets itself before the daemon owns the name would make the
        // bus start a second, locked daemon: wait for the owner without activating anything.
        const bool owned = dbusCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                    QStringLiteral("org.freedesktop.DBus.NameHasOwner"), QStringLiteral("string:org.freedesktop.secrets"))
                               .contains("boolean true");
        if (owned && dbusCall(QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
                              QStringLiteral("org.freedesktop.Secret.Service.ReadAlias"), QStringLiteral("string:default"))
                         .contains("/collection/login"))
            return true;
        QThread::msleep(20);
    }
    return false;
}

void KeyringSession::TearDown()
{
    if (keyringPid_ > 0)
        ::kill(pid_t(keyringPid_), SIGTERM);
    if (!session_.waitForFinished(5000)) {
        session_.kill();
        session_.waitForFinished(5000);
    }
}

QByteArray KeyringSession::secretTool(const QStringList &arguments, const QByteArray &input)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), arguments);
    tool.write(input);
    tool.closeWriteChannel();
    const bool finished = tool.waitForFinished(10000);
    EXPECT_TRUE(finished && tool.exitStatus() == QProcess::NormalExit) << "secret-tool " << arguments.join(u' ').toStdString();
    return tool.readAllStandardOutput();
}

} // namespace hourloom::test
