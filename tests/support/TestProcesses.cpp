#include "TestProcesses.h"
#include "TestFiles.h"


namespace hourloom::test {

void stopProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

QProcess &ProcessGroup::start(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                              const QString &logFile)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->setStandardOutputFile(logFile.isEmpty() ? QProcess::nullDevice() : logFile, QIODevice::Append);
    process->setStandardErrorFile(logFile.isEmpty() ? QProcess::nullDevice() : logFile, QIODevice::Append);
    process->start(program, arguments);
    process->waitForStarted(5000);
    processes_.push_back(std::move(process));
    return *processes_.back();
}

void ProcessGroup::stopAll()
{
    while (!processes_.empty()) {
        stopProcess(*processes_.back());
        processes_.pop_back();
    }
}

QString tailOf(const QString &logFile)
{
    const auto log = readFile(logFile);
    return log ? QString::fromLocal8Bit(log->right(2000)) : QStringLiteral("(no log)");
}

std::optional<QString> runProgram(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                                  int timeoutSeconds)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("timeout"), QStringList{QString::number(timeoutSeconds), program} + arguments);
    if (!process.waitForFinished((timeoutSeconds + 5) * 1000)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace hourloom::test
