#include "AgentBundle.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>

namespace hourloom::test {

AgentBundle::AgentBundle(std::initializer_list<QJsonObject> changes)
{
    QFile::copy(QStringLiteral(HOURLOOM_AGENT), executable());
    QJsonObject configuration =
        QJsonDocument::fromJson(readFile(QCoreApplication::applicationDirPath() + QStringLiteral("/Info.json")).value_or("")).object();
    for (const QJsonObject &values : changes) {
        for (auto value = values.begin(); value != values.end(); ++value) {
            if (value->isNull())
                configuration.remove(value.key());
            else
                configuration.insert(value.key(), value.value());
        }
    }
    writeFile(folder_.filePath(QStringLiteral("Info.json")), QJsonDocument(configuration).toJson());
}

AgentBundle::~AgentBundle()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.kill();
    process_.waitForFinished(5000);
}

QString AgentBundle::executable() const
{
    return folder_.filePath(QStringLiteral("hourloom"));
}

bool AgentBundle::start(const QProcessEnvironment &environment, const QStringList &launcher)
{
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    if (launcher.isEmpty())
        process_.start(executable(), {});
    else
        process_.start(launcher.first(), launcher.mid(1) + QStringList{executable()});
    return process_.waitForStarted(10000);
}

QByteArray AgentBundle::output()
{
    output_ += process_.readAll();
    return output_;
}

} // namespace hourloom::test
