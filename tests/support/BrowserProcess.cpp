#include "BrowserProcess.h"

#include <csignal>
#include <unistd.h>

namespace hourloom::test {

BrowserProcess::BrowserProcess(const QProcessEnvironment &environment)
{
    process_.setProcessEnvironment(environment);
    process_.setChildProcessModifier([] { ::setpgid(0, 0); });
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
}

bool BrowserProcess::start(const QString &program, const QStringList &arguments)
{
    process_.start(program, arguments);
    return process_.waitForStarted(10000);
}

void BrowserProcess::close()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    const auto group = static_cast<pid_t>(process_.processId());
    ::kill(-group, SIGTERM);
    if (!process_.waitForFinished(15000))
        ::kill(-group, SIGKILL);
    process_.waitForFinished(5000);
    // Helpers that outlived the browser.
    ::kill(-group, SIGKILL);
}

} // namespace hourloom::test
