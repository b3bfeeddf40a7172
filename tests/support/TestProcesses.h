#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace hourloom::test {

// Ends a program a test started: asked first, killed when it does not go.
void stopProcess(QProcess &process);

// The programs a private desktop started, stopped last-started first (windows before the
// compositor, the compositor before its bus) when the group goes away.
class ProcessGroup {
public:
    ProcessGroup() = default;
    ~ProcessGroup() { stopAll(); }
    ProcessGroup(const ProcessGroup &) = delete;
    ProcessGroup &operator=(const ProcessGroup &) = delete;

    // Its output goes to the log file when one is given, else nowhere.
    QProcess &start(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                    const QString &logFile = {});
    void stopAll();

private:
    std::vector<std::unique_ptr<QProcess>> processes_;
};

// The end of a program's log, for saying why it did not come up.
QString tailOf(const QString &logFile);

// Runs a program to its end, killed after the bound when it hangs (a peer that stopped answering
// must not hang the test): its standard output, none when it failed.
std::optional<QString> runProgram(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                                  int timeoutSeconds = 10);

} // namespace hourloom::test
