#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <optional>

namespace hourloom {

// Strict reads of required members: a missing member or one of another JSON type throws
// DecodingError naming the member.
class JsonReader {
public:
    static QJsonObject object(const QJsonValue &value, const QString &context);
    static QJsonObject object(const QJsonObject &container, const QString &key);
    static QJsonArray array(const QJsonObject &container, const QString &key);
    static QString string(const QJsonObject &container, const QString &key);
    static qint64 integer(const QJsonObject &container, const QString &key);
    static QUuid uuid(const QJsonObject &container, const QString &key);
    // A required string in the upload time format; absent when the text is not a time.
    static std::optional<QDateTime> time(const QJsonObject &container, const QString &key);

private:
    static QJsonValue required(const QJsonObject &container, const QString &key);
};

} // namespace hourloom
