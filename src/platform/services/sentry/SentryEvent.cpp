#include "SentryEvent.h"

#include "CrashReport.h"

#include "core/Clock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSysInfo>
#include <QUuid>

namespace hourloom {
namespace {

QJsonObject exceptionValues(const QJsonObject &exception)
{
    return {{QStringLiteral("values"), QJsonArray{exception}}};
}

QString hexAddress(quint64 address)
{
    return QStringLiteral("0x") + QString::number(address, 16);
}

} // namespace

QJsonObject SentryEvent::common(const QString &level, const QDateTime &timestamp, const CrashReportingOptions &options)
{
    QJsonObject event{
        {QStringLiteral("event_id"), QUuid::createUuid().toString(QUuid::Id128)},
        {QStringLiteral("timestamp"), timestamp.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("platform"), QStringLiteral("native")},
        {QStringLiteral("level"), level},
        {QStringLiteral("environment"), options.environment},
        {QStringLiteral("sdk"), QJsonObject{{QStringLiteral("name"), sdkName}, {QStringLiteral("version"), sdkVersion}}},
        {QStringLiteral("contexts"),
         QJsonObject{{QStringLiteral("os"), QJsonObject{{QStringLiteral("name"), QSysInfo::kernelType()},
                                                        {QStringLiteral("version"), QSysInfo::kernelVersion()},
                                                        {QStringLiteral("distribution"), QSysInfo::prettyProductName()}}}}},
    };
    if (options.releaseName)
        event.insert(QStringLiteral("release"), *options.releaseName);
    return event;
}

QJsonObject SentryEvent::error(const ReportableError &error, const CrashReportingOptions &options)
{
    const QJsonObject details = QJsonObject::fromVariantMap(error.errorUserInfo());
    QJsonObject event = common(QStringLiteral("error"), Clock::now(), options);
    event.insert(QStringLiteral("exception"),
                 exceptionValues({{QStringLiteral("type"), error.typeName()},
                                  {QStringLiteral("value"), QString::fromUtf8(QJsonDocument(details).toJson(QJsonDocument::Compact))},
                                  {QStringLiteral("mechanism"),
                                   QJsonObject{{QStringLiteral("type"), QStringLiteral("generic")}, {QStringLiteral("handled"), true}}}}));
    event.insert(QStringLiteral("extra"), details);
    return event;
}

QJsonObject SentryEvent::fatal(const CrashReport &crash, const CrashReportingOptions &options)
{
    // Sentry lists frames outermost first; backtrace() gives them innermost first.
    QJsonArray frames;
    for (auto frame = crash.frames.crbegin(); frame != crash.frames.crend(); ++frame)
        frames.append(QJsonObject{{QStringLiteral("instruction_addr"), hexAddress(*frame)}});

    const QString name = crash.signalName();
    QJsonObject exception{
        {QStringLiteral("type"), name},
        {QStringLiteral("value"), QStringLiteral("Fatal signal %1 (%2)").arg(name).arg(crash.signal)},
        {QStringLiteral("mechanism"),
         QJsonObject{{QStringLiteral("type"), QStringLiteral("signalhandler")},
                     {QStringLiteral("handled"), false},
                     {QStringLiteral("meta"), QJsonObject{{QStringLiteral("signal"), QJsonObject{{QStringLiteral("number"), crash.signal},
                                                                                                 {QStringLiteral("name"), name}}}}}}},
    };
    if (!frames.isEmpty())
        exception.insert(QStringLiteral("stacktrace"), QJsonObject{{QStringLiteral("frames"), frames}});

    QJsonObject event = common(QStringLiteral("fatal"), crash.time.isValid() ? crash.time : Clock::now(), options);
    event.insert(QStringLiteral("exception"), exceptionValues(exception));
    return event;
}

} // namespace hourloom
