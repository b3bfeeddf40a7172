#include "KeyringSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

namespace hourloom::test {

void KeyringSession::SetUp()
{
    instance_ = this;
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
    // No display: a prompt must fail at once rather than wait for a user.
    environment.remove(QStringLiteral("DISPLAY"));
    if (!onThisProcessBus_) {
        bus_ = std::make_unique<PrivateSessionBus>(QString(), environment);
        if (!bus_->error().isEmpty()) {
            ADD_FAILURE() << bus_->error().toStdString();
            return false;
        }
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_->address());
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus_->address().toUtf8());
    }

    // The daemon reads the login password from standard input.
    keyring_.setProcessEnvironment(environment);
    keyring_.setProcessChannelMode(QProcess::SeparateChannels);
    keyring_.start(QStringLiteral("gnome-keyring-daemon"), {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
    if (!keyring_.waitForStarted(5000)) {
        ADD_FAILURE() << "gnome-keyring-daemon is missing (package gnome-keyring)";
        return false;
    }
    // An empty password would create no login keyring, and the first store would prompt.
    keyring_.write(password);
    keyring_.waitForBytesWritten(5000);
    keyring_.closeWriteChannel();
    if (!waitUntilReady()) {
        ADD_FAILURE() << "gnome-keyring did not serve the Secret Service (" << (keyring_.state() == QProcess::Running ? "still running" : "it ended")
                      << "): " << keyring_.readAllStandardError().toStdString();
        return false;
    }
    return true;
}

namespace {

QByteArray dbusCall(const QString &destination, const QString &path, const QString &method, const QStringList &arguments)
{
    QProcess call;
    call.start(QStringLiteral("dbus-send"), QStringList{QStringLiteral("--session"), QStringLiteral("--print-reply"), QStringLiteral("--dest=") + destination,
                                                        path, method} + arguments);
    call.waitForFinished(2000);
    return call.readAllStandardOutput();
}

} // namespace

bool KeyringSession::waitUntilReady()
{
    // Generous: under a loaded parallel test run the daemon has been seen to need more than 10 s
    // to create its login keyring.
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && keyring_.state() == QProcess::Running) {
        // Asking org.freedesktop.secrets itself before the daemon owns the name would make the
        // bus start a second, locked daemon: wait for the owner without activating anything.
        const bool owned = dbusCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                    QStringLiteral("org.freedesktop.DBus.NameHasOwner"), {QStringLiteral("string:org.freedesktop.secrets")})
                               .contains("boolean true");
        if (owned && dbusCall(QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
                              QStringLiteral("org.freedesktop.Secret.Service.ReadAlias"), {QStringLiteral("string:default")})
                         .contains("/collection/login"))
            return true;
        QThread::msleep(20);
    }
    return false;
}

void KeyringSession::lockLogin(const QString &promptDisplay)
{
    dbusCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus.UpdateActivationEnvironment"),
             {QStringLiteral("dict:string:string:DISPLAY,") + promptDisplay});
    dbusCall(QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"), QStringLiteral("org.freedesktop.Secret.Service.Lock"),
             {QStringLiteral("array:objpath:/org/freedesktop/secrets/collection/login")});
}

bool KeyringSession::loginLocked()
{
    return dbusCall(QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets/collection/login"),
                    QStringLiteral("org.freedesktop.DBus.Properties.Get"), {QStringLiteral("string:org.freedesktop.Secret.Collection"), QStringLiteral("string:Locked")})
        .contains("boolean true");
}

void KeyringSession::TearDown()
{
    keyring_.terminate();
    if (!keyring_.waitForFinished(5000)) {
        keyring_.kill();
        keyring_.waitForFinished(5000);
    }
    bus_.reset();
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
