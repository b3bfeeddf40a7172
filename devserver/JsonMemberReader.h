#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace hourloom::devserver {

// Reads the members of a JSON request body by their path (user_activities[2].id), noting each
// fault as a message. A member that could not be read comes back empty; callers use what was
// read only when no fault was noted.
class JsonMemberReader {
public:
    const QStringList &faults() const { return faults_; }

    std::optional<QJsonValue> member(const QJsonObject &object, const QString &path, const QString &key);
    std::optional<QString> text(const QJsonObject &object, const QString &path, const QString &key);
    QString uuid(const QJsonObject &object, const QString &path, const QString &key);
    // Local wall-clock time without a zone, "yyyy-MM-dd HH:mm:ss".
    QString time(const QJsonObject &object, const QString &path, const QString &key);
    // The members of a nested object, or none when it is missing or no object.
    std::optional<QJsonObject> object(const QJsonObject &container, const QString &path, const QString &key);
    // A text member of a nested object; the object's own fault is noted once, not per member.
    QString nestedText(const std::optional<QJsonObject> &object, const QString &path, const QString &key);
    // An array, or empty for null.
    QJsonArray list(const QJsonObject &object, const QString &path, const QString &key);
    // A time-zone offset in whole seconds east of UTC.
    qint64 offset(const QJsonObject &object, const QString &path, const QString &key);
    // The elements of an array that are objects, with their paths; the others are noted.
    QList<std::pair<QString, QJsonObject>> objects(const QJsonArray &array, const QString &path);

private:
    void fail(const QString &path, const QString &what);

    QStringList faults_;
};

} // namespace hourloom::devserver
