#pragma once

#include <QProcess>
#include <QStringList>

namespace hourloom::test {

// A browser for the tests, in a process group of its own so that its helper processes end with
// it. Its chatter (no session bus, no GPU) goes nowhere.
class BrowserProcess {
public:
    explicit BrowserProcess(const QProcessEnvironment &environment);
    ~BrowserProcess() { close(); }
    BrowserProcess(const BrowserProcess &) = delete;
    BrowserProcess &operator=(const BrowserProcess &) = delete;

    bool start(const QString &program, const QStringList &arguments);
    bool isRunning() const { return process_.state() == QProcess::Running; }
    // SIGTERM to the group, SIGKILL to what is left.
    void close();

private:
    QProcess process_;
};

} // namespace hourloom::test
