#include "StandardErrorLogger.h"

#include "core/Log.h"

#include <QJsonDocument>
#include <QJsonObject>

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
    logError(lcErrors, line(error));
}

} // namespace hourloom
