#include "SentryEvent.h"

#include "CrashReport.h"
#include "ElfBuildId.h"

#include "core/Clock.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSysInfo>
#include <QUuid>

#include <algorithm>

#include <sys/stat.h>

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

// Symbol servers name an ELF file's symbols by the first 16 bytes of its build id read as a
// GUID, whose first three fields are little-endian.
QString debugId(QByteArray buildId)
{
    buildId = buildId.leftJustified(16, '\0', true);
    std::reverse(buildId.begin(), buildId.begin() + 4);
    std::reverse(buildId.begin() + 4, buildId.begin() + 6);
    std::reverse(buildId.begin() + 6, buildId.begin() + 8);
    return QUuid::fromRfc4122(buildId).toString(QUuid::WithoutBraces);
}

// The files the frames lie in, so that a server can turn each address into a place in the
// file's own symbols.
QJsonObject debugMeta(const CrashReport &crash)
{
    QJsonArray images;
    for (const LoadedModule &module : crash.modulesOfFrames()) {
        QJsonObject image{{QStringLiteral("type"), QStringLiteral("elf")},
                          {QStringLiteral("code_file"), module.path},
                          {QStringLiteral("image_addr"), hexAddress(module.base)},
                          {QStringLiteral("image_size"), qint64(module.end - module.base)}};
        // Read from the file now: only when it is still the one that was mapped does its id
        // name the symbols of the crashed code.
        struct stat status {};
        if (::stat(QFile::encodeName(module.path).constData(), &status) == 0 && quint64(status.st_ino) == module.inode) {
            const QByteArray buildId = elfBuildId(module.path);
            if (!buildId.isEmpty()) {
                image.insert(QStringLiteral("code_id"), QString::fromLatin1(buildId.toHex()));
                image.insert(QStringLiteral("debug_id"), debugId(buildId));
            }
        }
        images.append(image);
    }
    return {{QStringLiteral("images"), images}};
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
    if (!crash.modules.isEmpty())
        event.insert(QStringLiteral("debug_meta"), debugMeta(crash));
    return event;
}

} // namespace hourloom
