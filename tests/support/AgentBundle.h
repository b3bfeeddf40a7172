#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace hourloom::test {

// The real agent in a folder of its own, beside a configuration document the test writes (for
// example pointing ROOT_URL at a local account service on a free port).
class AgentBundle {
public:
    explicit AgentBundle(const QJsonObject &configuration);
    ~AgentBundle();

    QString executable() const;
    // Starts the agent with this environment, through `launcher` (a command that runs the
    // command line it is given) when there is one; its output is kept for output().
    bool start(const QProcessEnvironment &environment, const QStringList &launcher = {});
    // What it printed so far.
    QByteArray output();
    QProcess &process() { return process_; }

    // The test configuration document with values replaced.
    static QJsonObject configuration(const QJsonObject &changes);

private:
    QTemporaryDir folder_;
    QProcess process_;
    QByteArray output_;
};

} // namespace hourloom::test
