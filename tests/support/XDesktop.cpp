#include "XDesktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QHash>
#include <QThread>

namespace hourloom::test {

XDesktop::XDesktop(WindowManager windowManager)
{
    const QString displayFile = directory_.filePath(QStringLiteral("display"));
    // -displayfd lets the server pick a free display and tell it once it accepts connections.
    start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                 QStringLiteral("exec Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>'%1'").arg(displayFile)});
    const bool serverUp = spinUntil([&] {
        QFile file(displayFile);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray number = file.readLine().trimmed();
        if (number.isEmpty())
            return false;
        display_ = QStringLiteral(":") + QString::fromLatin1(number);
        return true;
    });
    if (!serverUp) {
        error_ = QStringLiteral("Xvfb did not start (is the xvfb package installed?)");
        return;
    }
    if (windowManager == WindowManager::none)
        return;
    start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    const bool managed = spinUntil([&] {
        return run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")}).contains(QLatin1String("window id"));
    });
    if (!managed)
        error_ = QStringLiteral("openbox did not take over the display");
}

XDesktop::~XDesktop()
{
    // Windows first, the window manager next, the server last.
    for (auto it = processes_.rbegin(); it != processes_.rend(); ++it) {
        (*it)->terminate();
        if (!(*it)->waitForFinished(3000)) {
            (*it)->kill();
            (*it)->waitForFinished(3000);
        }
    }
}

void XDesktop::killServer()
{
    if (processes_.empty())
        return;
    processes_.front()->kill();
    processes_.front()->waitForFinished(5000);
}

QProcess *XDesktop::start(const QString &program, const QStringList &arguments)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!display_.isEmpty())
        environment.insert(QStringLiteral("DISPLAY"), display_);
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), directory_.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), directory_.filePath(QStringLiteral("config")));
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start(program, arguments);
    process->waitForStarted(5000);
    processes_.push_back(std::move(process));
    return processes_.back().get();
}

QString XDesktop::run(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display_);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString XDesktop::openWindow(const QString &program, const QStringList &arguments, const QString &windowClass)
{
    start(program, arguments);
    QString window;
    spinUntil([&] {
        window = run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
                                                 QStringLiteral("^%1$").arg(windowClass)})
                     .section(u'\n', 0, 0)
                     .trimmed();
        return !window.isEmpty();
    });
    return window;
}

bool XDesktop::xdotool(const QStringList &arguments)
{
    // xdotool can wait on a window that never answers: never longer than the bound.
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display_);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("timeout"), QStringList{QStringLiteral("5"), QStringLiteral("xdotool")} + arguments);
    return process.waitForFinished(10000) && process.exitCode() == 0;
}

QString XDesktop::xdotoolOutput(const QStringList &arguments)
{
    return run(QStringLiteral("timeout"), QStringList{QStringLiteral("5"), QStringLiteral("xdotool")} + arguments);
}

bool XDesktop::startTray()
{
    start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("right"),
                                     QStringLiteral("--widthtype"), QStringLiteral("request"), QStringLiteral("--height"),
                                     QStringLiteral("24"), QStringLiteral("--SetDockType"), QStringLiteral("true")});
    return spinUntil([&] { return !windowsOfClass(QStringLiteral("trayer")).isEmpty(); });
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
