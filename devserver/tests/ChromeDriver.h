#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include <httplib.h>

#include <memory>

namespace hourloom::test {

// Debian's headless Chromium driven through chromedriver's WebDriver protocol: a chromedriver
// on a free loopback port, one browser session with a fresh profile in the given time zone.
// Every command fails the running test when the driver answers with an error. Ends the
// browser and the driver (with its process group) when destroyed.
class ChromeDriver {
public:
    ChromeDriver(const QString &timeZone, QSize windowSize);
    ~ChromeDriver();
    ChromeDriver(const ChromeDriver &) = delete;
    ChromeDriver &operator=(const ChromeDriver &) = delete;

    // False when chromedriver or Chromium could not be started (the test has been failed).
    bool isReady() const { return !sessionId_.isEmpty(); }

    void open(const QString &url);
    // The element's id for later commands; empty (and the test failed) when there is none.
    QString find(const QString &cssSelector);
    void click(const QString &cssSelector);
    void type(const QString &cssSelector, const QString &text);
    // Runs a function body in the page; its return value as JSON.
    QJsonValue run(const QString &script, const QJsonArray &arguments = {});
    // Runs the script until it returns true, up to the time given; false when it never did.
    bool waitFor(const QString &script, int milliseconds = 20000);
    void resize(QSize windowSize);
    QByteArray screenshotPNG();

private:
    // Fails the test when the driver answers with an error.
    QJsonValue command(const std::string &method, const QString &path, const QJsonObject &body = {});
    // The answer's value; on an error, an empty one and what went wrong in `failure`.
    QJsonValue send(const std::string &method, const QString &path, const QJsonObject &body, QString *failure);

    QTemporaryDir profile_;
    QProcess driver_;
    std::unique_ptr<httplib::Client> client_;
    QString sessionId_;
};

} // namespace hourloom::test
