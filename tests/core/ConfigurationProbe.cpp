// Prints the configuration values named on the command line, one per line, in order, through
// the same accessors the agent uses. The tests run copies of it beside documents of their own.
#include "core/Configuration.h"
#include "agent/HourloomOSXApp.h"

#include "support/FakeApplicationServices.h"

#include <QCoreApplication>
#include <QTextStream>

#include <functional>
#include <map>
#include <thread>

using namespace hourloom;

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const std::map<QString, std::function<QString()>> accessors{
        {QStringLiteral("ROOT_URL"), [] { return Configuration::rootURL().toString(); }},
        {QStringLiteral("ENVIRONMENT"), [] { return Configuration::environment(); }},
        {QStringLiteral("MIN_IDLE_TIME"), [] { return QString::number(Configuration::minIdleTime()); }},
        {QStringLiteral("SECONDS_MIN_APP_SESSION"), [] { return QString::number(Configuration::secondsMinAppSession()); }},
        {QStringLiteral("SECONDS_BETWEEN_API_SENDS"), [] { return QString::number(Configuration::secondsBetweenApiSends()); }},
        {QStringLiteral("SECONDS_MIN_WEB_SESSION"), [] { return QString::number(Configuration::secondsMinWebSession()); }},
        {QStringLiteral("tokenEndpoint"), [] { return Configuration::tokenEndpoint().toString(); }},
        {QStringLiteral("version"), [] { return Configuration::shortVersion().value_or(QStringLiteral("(none)")); }},
        {QStringLiteral("SUFeedURL"), [] { return Configuration::updateFeedURL().value_or(QUrl(QStringLiteral("(none)"))).toString(); }},
        // The agent's start-up with substitutes for the platform: it reads what it reads, in its order.
        {QStringLiteral("startUp"), [] {
             test::FakeApplicationServices fakes;
             QCoro::waitFor(HourloomOSXApp::make(fakes.services, [] {}));
             return QStringLiteral("started");
         }},
        // Two threads asking at once must see one load and one value.
        {QStringLiteral("racingThreads"), [] {
             QString first, second;
             std::thread a([&] { first = QString::number(Configuration::secondsBetweenApiSends()); });
             std::thread b([&] { second = QString::number(Configuration::secondsBetweenApiSends()); });
             a.join();
             b.join();
             return first + QLatin1Char(' ') + second;
         }},
    };
    QTextStream out(stdout);
    for (const QString &name : application.arguments().mid(1)) {
        out << accessors.at(name)() << '\n';
        out.flush();
    }
    return 0;
}
