#include "ChromeDriver.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

namespace hourloom::test {
namespace {

// The key WebDriver gives an element reference under.
const QString elementKey = QStringLiteral("element-6066-11e4-a52e-4f735466cecf");

} // namespace

ChromeDriver::ChromeDriver(const QString &timeZone, QSize windowSize)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("chromedriver"));
    if (program.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty()) {
        ADD_FAILURE() << "Debian's chromium and chromium-driver packages are not installed (scripts/bootstrap)";
        return;
    }
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), timeZone);
    environment.insert(QStringLiteral("HOME"), profile_.filePath(QStringLiteral("home")));
    environment.remove(QStringLiteral("DISPLAY"));
    driver_.setProcessEnvironment(environment);
    // Its own process group, so that the browser and its helpers go with it.
    driver_.setChildProcessModifier([] { ::setpgid(0, 0); });
    driver_.start(program, {QStringLiteral("--port=0")});
    static const QRegularExpression started(QStringLiteral("started successfully on port (\\d+)"));
    QByteArray output;
    int port = 0;
    const QDeadlineTimer deadline(20000);
    while (port == 0 && !deadline.hasExpired() && driver_.state() != QProcess::NotRunning) {
        driver_.waitForReadyRead(int(deadline.remainingTime()));
        output += driver_.readAllStandardOutput();
        if (const auto match = started.match(QString::fromUtf8(output)); match.hasMatch())
            port = match.captured(1).toInt();
    }
    if (port == 0) {
        ADD_FAILURE() << "chromedriver did not start: " << output.toStdString();
        return;
    }
    client_ = std::make_unique<httplib::Client>("127.0.0.1", port);
    client_->set_connection_timeout(10);
    client_->set_read_timeout(90);

    QJsonArray arguments{QStringLiteral("--headless=new"), QStringLiteral("--disable-gpu"), QStringLiteral("--no-first-run"),
                         QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
                         QStringLiteral("--disable-sync"), QStringLiteral("--disable-quic"), QStringLiteral("--hide-scrollbars"),
                         QStringLiteral("--force-device-scale-factor=1"), QStringLiteral("--lang=en-GB"),
                         QStringLiteral("--user-data-dir=") + profile_.filePath(QStringLiteral("profile"))};
    if (::geteuid() == 0)
        arguments.prepend(QStringLiteral("--no-sandbox"));
    const QJsonObject chromeOptions{{QStringLiteral("binary"), QStandardPaths::findExecutable(QStringLiteral("chromium"))},
                                    {QStringLiteral("args"), arguments}};
    const QJsonObject capabilities{{QStringLiteral("alwaysMatch"),
                                    QJsonObject{{QStringLiteral("browserName"), QStringLiteral("chrome")},
                                                {QStringLiteral("goog:chromeOptions"), chromeOptions}}}};
    const QJsonValue session = command("POST", QStringLiteral("/session"), {{QStringLiteral("capabilities"), capabilities}});
    sessionId_ = session[QStringLiteral("sessionId")].toString();
    if (isReady())
        resize(windowSize);
}

ChromeDriver::~ChromeDriver()
{
    if (isReady())
        command("DELETE", QString());
    if (driver_.state() == QProcess::NotRunning)
        return;
    const auto group = static_cast<pid_t>(driver_.processId());
    ::kill(-group, SIGTERM);
    if (!driver_.waitForFinished(10000))
        ::kill(-group, SIGKILL);
    driver_.waitForFinished(5000);
    // Browser helpers that outlived the driver.
    ::kill(-group, SIGKILL);
}

QJsonValue ChromeDriver::command(const std::string &method, const QString &path, const QJsonObject &body)
{
    QString failure;
    const QJsonValue value = send(method, path, body, &failure);
    if (!failure.isEmpty())
        ADD_FAILURE() << failure.toStdString();
    return value;
}

QJsonValue ChromeDriver::send(const std::string &method, const QString &path, const QJsonObject &body, QString *failure)
{
    if (!client_)
        return {};
    const std::string fullPath = (sessionId_.isEmpty() ? path : QStringLiteral("/session/") + sessionId_ + path).toStdString();
    const std::string text = QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString();
    const auto result = method == "GET"      ? client_->Get(fullPath.c_str())
                        : method == "DELETE" ? client_->Delete(fullPath.c_str())
                                             : client_->Post(fullPath.c_str(), text, "application/json");
    if (!result || result->status != 200) {
        *failure = QString::fromStdString(method + ' ' + fullPath + " failed: " + (result ? result->body.substr(0, 600) : "no answer"));
        return {};
    }
    return QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object().value(QStringLiteral("value"));
}

void ChromeDriver::open(const QString &url)
{
    command("POST", QStringLiteral("/url"), {{QStringLiteral("url"), url}});
}

QString ChromeDriver::find(const QString &cssSelector)
{
    const QJsonValue element = command("POST", QStringLiteral("/element"),
                                       {{QStringLiteral("using"), QStringLiteral("css selector")}, {QStringLiteral("value"), cssSelector}});
    const QString id = element[elementKey].toString();
    if (id.isEmpty())
        ADD_FAILURE() << "no element for " << cssSelector.toStdString();
    return id;
}

void ChromeDriver::click(const QString &cssSelector)
{
    const QString element = find(cssSelector);
    if (!element.isEmpty())
        command("POST", QStringLiteral("/element/") + element + QStringLiteral("/click"));
}

void ChromeDriver::type(const QString &cssSelector, const QString &text)
{
    const QString element = find(cssSelector);
    if (!element.isEmpty())
        command("POST", QStringLiteral("/element/") + element + QStringLiteral("/value"), {{QStringLiteral("text"), text}});
}

QJsonValue ChromeDriver::run(const QString &script, const QJsonArray &arguments)
{
    return command("POST", QStringLiteral("/execute/sync"), {{QStringLiteral("script"), script}, {QStringLiteral("args"), arguments}});
}

bool ChromeDriver::waitFor(const QString &script, int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (client_ && !deadline.hasExpired()) {
        // A page that is being replaced answers with an error now and then: only the outcome counts.
        QString failure;
        if (send("POST", QStringLiteral("/execute/sync"), {{QStringLiteral("script"), script}, {QStringLiteral("args"), QJsonArray()}}, &failure).toBool())
            return true;
        QThread::msleep(100);
    }
    return false;
}

void ChromeDriver::resize(QSize windowSize)
{
    command("POST", QStringLiteral("/window/rect"), {{QStringLiteral("width"), windowSize.width()}, {QStringLiteral("height"), windowSize.height()}});
}

QByteArray ChromeDriver::screenshotPNG()
{
    return QByteArray::fromBase64(command("GET", QStringLiteral("/screenshot")).toString().toLatin1());
}

} // namespace hourloom::test
