#include "JsonReader.h"

#include "DataFormatter.h"
#include "DecodingError.h"

#include <cmath>

namespace hourloom {

QJsonValue JsonReader::required(const QJsonObject &container, const QString &key)
{
    const auto found = container.constFind(key);
    if (found == container.constEnd())
        throw DecodingError(QStringLiteral("missing member \"%1\"").arg(key));
    return *found;
}

QJsonObject JsonReader::object(const QJsonValue &value, const QString &context)
{
    if (!value.isObject())
        throw DecodingError(QStringLiteral("\"%1\" is not an object").arg(context));
    return value.toObject();
}

QJsonObject JsonReader::object(const QJsonObject &container, const QString &key)
{
    return object(required(container, key), key);
}

QJsonArray JsonReader::array(const QJsonObject &container, const QString &key)
{
    const QJsonValue value = required(container, key);
    if (!value.isArray())
        throw DecodingError(QStringLiteral("\"%1\" is not an array").arg(key));
    return value.toArray();
}

QString JsonReader::string(const QJsonObject &container, const QString &key)
{
    const QJsonValue value = required(container, key);
    if (!value.isString())
        throw DecodingError(QStringLiteral("\"%1\" is not a string").arg(key));
    return value.toString();
}

qint64 JsonReader::integer(const QJsonObject &container, const QString &key)
{
    const QJsonValue value = required(container, key);
    const double number = value.toDouble();
    if (!value.isDouble() || std::trunc(number) != number || std::abs(number) > 9.007199254740992e15)
        throw DecodingError(QStringLiteral("\"%1\" is not an integer").arg(key));
    return value.toInteger();
}

QUuid JsonReader::uuid(const QJsonObject &container, const QString &key)
{
    const QString text = string(container, key);
    const QUuid id = QUuid::fromString(text);
    // fromString also takes braces; the wire form is the bare 36-character text.
    if (text.size() != 36 || (id.isNull() && text != QUuid().toString(QUuid::WithoutBraces)))
        throw DecodingError(QStringLiteral("\"%1\" is not a UUID").arg(key));
    return id;
}

std::optional<QDateTime> JsonReader::time(const QJsonObject &container, const QString &key)
{
    return DataFormatter::date(string(container, key), DataFormatter::uploadFormat);
}

} // namespace hourloom
