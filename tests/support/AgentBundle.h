#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace hourloom::test {

// The real agent in a folder of its own, beside the test configuration document with values the
// test replaces (for example ROOT_URL, pointing at a local account service on a free port).
class AgentBundle {
public:
    // Each set of changes is applied in turn, later ones winning; a null value removes the key.
    explicit AgentBundle(std::initializer_list<QJsonObject> changes);
    ~AgentBundle();

    QString executable() const;
    // Starts the agent with this environment, through `launcher` (a command that runs the
    // command line it is given) when there is one; its output is kept for output().
    bool start(const QProcessEnvironment &environment, const QStringList &launcher = {});
    // What it printed so far.
    QByteArray output();
    QProcess &process() { return process_; }

private:
    QTemporaryDir folder_;
    QProcess process_;
    QByteArray output_;
};

} // namespace hourloom::test
