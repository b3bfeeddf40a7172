#include "JsonMemberReader.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

#include <cmath>

namespace hourloom::devserver {
namespace {

// Enough to point at the faults of a broken writer without answering a megabyte of messages.
constexpr qsizetype maximumMessages = 10;
// Every zone in use lies within UTC-12 and UTC+14; ISO 8601 allows up to 18 hours.
constexpr double maximumOffset = 18 * 3600;

} // namespace

std::optional<QJsonValue> JsonMemberReader::member(const QJsonObject &object, const QString &path, const QString &key)
{
    const auto found = object.constFind(key);
    if (found == object.constEnd()) {
        fail(path + key, QStringLiteral("is missing"));
        return std::nullopt;
    }
    return *found;
}

std::optional<QString> JsonMemberReader::text(const QJsonObject &object, const QString &path, const QString &key)
{
    const auto value = member(object, path, key);
    if (!value)
        return std::nullopt;
    if (!value->isString()) {
        fail(path + key, QStringLiteral("must be a string"));
        return std::nullopt;
    }
    return value->toString();
}

QString JsonMemberReader::uuid(const QJsonObject &object, const QString &path, const QString &key)
{
    static const QRegularExpression form(QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
    const auto id = text(object, path, key);
    if (id && !form.match(*id).hasMatch())
        fail(path + key, QStringLiteral("must be a lower-case UUID"));
    return id.value_or(QString());
}

// No order between a start and an end is checked: a session that spans the end of summer time
// can end at an earlier wall-clock time than it started.
QString JsonMemberReader::time(const QJsonObject &object, const QString &path, const QString &key)
{
    // Matched by hand: an upload holds thousands of times, and Qt's pattern parsing of each was
    // most of the service's work per request.
    static const QRegularExpression form(QStringLiteral("^([0-9]{4})-([0-9]{2})-([0-9]{2}) ([0-9]{2}):([0-9]{2}):([0-9]{2})$"));
    const auto time = text(object, path, key);
    if (!time)
        return QString();
    const QRegularExpressionMatch match = form.match(*time);
    const auto number = [&](int group) { return match.capturedView(group).toInt(); };
    if (!match.hasMatch() || !QDate::isValid(number(1), number(2), number(3)) || !QTime::isValid(number(4), number(5), number(6)))
        fail(path + key, QStringLiteral("must be a time as yyyy-MM-dd HH:mm:ss"));
    return *time;
}

std::optional<QJsonObject> JsonMemberReader::object(const QJsonObject &container, const QString &path, const QString &key)
{
    const auto value = member(container, path, key);
    if (value && !value->isObject())
        fail(path + key, QStringLiteral("must be an object"));
    if (!value || !value->isObject())
        return std::nullopt;
    return value->toObject();
}

QString JsonMemberReader::nestedText(const std::optional<QJsonObject> &object, const QString &path, const QString &key)
{
    return object ? text(*object, path, key).value_or(QString()) : QString();
}

QJsonArray JsonMemberReader::list(const QJsonObject &object, const QString &path, const QString &key)
{
    const auto value = member(object, path, key);
    if (value && !value->isArray() && !value->isNull())
        fail(path + key, QStringLiteral("must be an array or null"));
    return value ? value->toArray() : QJsonArray();
}

qint64 JsonMemberReader::offset(const QJsonObject &object, const QString &path, const QString &key)
{
    const auto value = member(object, path, key);
    if (!value)
        return 0;
    const double seconds = value->toDouble(NAN);
    if (!value->isDouble() || seconds != std::trunc(seconds) || std::abs(seconds) > maximumOffset) {
        fail(path + key, QStringLiteral("must be a whole number of seconds east of UTC, at most 18 hours"));
        return 0;
    }
    return qint64(seconds);
}

QList<std::pair<QString, QJsonObject>> JsonMemberReader::objects(const QJsonArray &array, const QString &path)
{
    QList<std::pair<QString, QJsonObject>> elements;
    for (qsizetype index = 0; index < array.size(); ++index) {
        const QString elementPath = QStringLiteral("%1[%2]").arg(path).arg(index);
        if (array.at(index).isObject())
            elements.append({elementPath + u'.', array.at(index).toObject()});
        else
            fail(elementPath, QStringLiteral("must be an object"));
    }
    return elements;
}

void JsonMemberReader::fail(const QString &path, const QString &what)
{
    if (faults_.size() < maximumMessages)
        faults_.append(path + u' ' + what);
}

} // namespace hourloom::devserver
