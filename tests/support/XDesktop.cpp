#include "XDesktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QHash>
#include <QStandardPaths>
#include <QThread>

namespace hourloom::test {

XDesktop::XDesktop(WindowManager windowManager)
{
    const QString displayFile = directory_.filePath(QStringLiteral("display"));
    // -displayfd lets the server pick a free display and tell it once it accepts connections.
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server_.setStandardOutputFile(QProcess::nullDevice());
    server_.start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                         QStringLiteral("exec Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>'%1'").arg(displayFile)});
    const bool serverUp = spinUntil([&] {
        QFile file(displayFile);
        const QByteArray number = file.open(QIODevice::ReadOnly) ? file.readLine().trimmed() : QByteArray();
        display_ = number.isEmpty() ? QString() : QStringLiteral(":") + QString::fromLatin1(number);
        return !number.isEmpty();
    });
    if (!serverUp) {
        error_ = QStringLiteral("Xvfb did not start (is the xvfb package installed?)");
        return;
    }
    if (windowManager == WindowManager::none)
        return;
    clients_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")}, environment());
    const bool managed = spinUntil([&] {
        return runProgram(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")}, environment())
            .value_or(QString())
            .contains(QLatin1String("window id"));
    });
    if (!managed)
        error_ = QStringLiteral("openbox did not take over the display");
}

XDesktop::~XDesktop()
{
    // Windows and the window manager first, the server last.
    clients_.stopAll();
    stopProcess(server_);
}

void XDesktop::killServer()
{
    server_.kill();
    server_.waitForFinished(5000);
}

QProcessEnvironment XDesktop::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display_);
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), directory_.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), directory_.filePath(QStringLiteral("config")));
    return environment;
}

QString XDesktop::openWindow(const QString &program, const QStringList &arguments, const QString &windowClass)
{
    clients_.start(program, arguments, environment());
    QString window;
    spinUntil([&] {
        window = xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"), QStringLiteral("^%1$").arg(windowClass)})
                     .section(u'\n', 0, 0)
                     .trimmed();
        return !window.isEmpty();
    });
    return window;
}

bool XDesktop::xdotool(const QStringList &arguments)
{
    // xdotool can wait on a window that never answers: never longer than the bound.
    return runProgram(QStringLiteral("xdotool"), arguments, environment(), 5).has_value();
}

QString XDesktop::xdotoolOutput(const QStringList &arguments)
{
    return runProgram(QStringLiteral("xdotool"), arguments, environment(), 5).value_or(QString());
}

bool XDesktop::startTray()
{
    const QString tray = QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty() ? QStringLiteral("stalonetray") : QStringLiteral("trayer");
    const QStringList arguments = tray == u"trayer"
        ? QStringList{QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("right"),
                      QStringLiteral("--widthtype"), QStringLiteral("request"), QStringLiteral("--height"), QStringLiteral("24"),
                      QStringLiteral("--SetDockType"), QStringLiteral("true")}
        : QStringList{QStringLiteral("--geometry"), QStringLiteral("1x1-0+0"), QStringLiteral("--icon-size"), QStringLiteral("24"),
                      QStringLiteral("--window-type"), QStringLiteral("dock")};
    clients_.start(tray, arguments, environment());
    return spinUntil([&] { return !windowsOfClass(u'^' + tray + u'$').isEmpty(); });
}

bool XDesktop::launch(const QString &entry, const QProcessEnvironment &environment)
{
    // The program outlives gio: output into a pipe that ended with gio would kill it.
    QProcess gio;
    gio.setProcessEnvironment(environment);
    gio.setStandardOutputFile(QProcess::nullDevice());
    gio.setStandardErrorFile(QProcess::nullDevice());
    gio.start(QStringLiteral("gio"), {QStringLiteral("launch"), entry});
    return gio.waitForFinished(30000) && gio.exitStatus() == QProcess::NormalExit && gio.exitCode() == 0;
}

QList<std::pair<QString, QRect>> XDesktop::windowsOfClass(const QString &windowClass)
{
    QList<std::pair<QString, QRect>> windows;
    const QString ids = xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"), windowClass});
    for (const QString &id : ids.split(u'\n', Qt::SkipEmptyParts)) {
        QHash<QString, int> shell;
        for (const QString &line : xdotoolOutput({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id}).split(u'\n'))
            shell.insert(line.section(u'=', 0, 0), line.section(u'=', 1).toInt());
        windows.append({id, QRect(shell.value("X"), shell.value("Y"), shell.value("WIDTH"), shell.value("HEIGHT"))});
    }
    return windows;
}

bool XDesktop::activate(const QString &window)
{
    return xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
}

bool XDesktop::spinUntil(const std::function<bool()> &condition, int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

void XDesktop::spinFor(int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

} // namespace hourloom::test
