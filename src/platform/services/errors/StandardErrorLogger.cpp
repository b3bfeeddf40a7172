#include "StandardErrorLogger.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace hourloom {

const StandardErrorLogger *StandardErrorLogger::shared()
{
    static const StandardErrorLogger logger;
    return &logger;
}

QString StandardErrorLogger::line(const ReportableError &error)
{
    // Compact JSON keeps multi-line details, such as a script's text, on the one line.
    const QByteArray details = QJsonDocument(QJsonObject::fromVariantMap(error.errorUserInfo())).toJson(QJsonDocument::Compact);
    return error.typeName() + QStringLiteral(": ") + QString::fromUtf8(details);
}

void StandardErrorLogger::capture(const ReportableError &error) const
{
    const QByteArray text = (line(error) + QLatin1Char('\n')).toUtf8();
    // One write call, so that lines from different threads do not interleave.
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
    std::fflush(stderr);
}

} // namespace hourloom
