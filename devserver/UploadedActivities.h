#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <variant>

namespace hourloom::devserver {

struct UploadedWebSession {
    QString id;
    QString startTime;
    QString endTime;
    QString domain;
};

struct UploadedAppSession {
    QString id;
    QString startTime;
    QString endTime;
    QString appName;
    QString appIdentifier;
    QList<UploadedWebSession> webSessions;
};

// One body of POST /api/v1/user_activities, read strictly: the service is there to catch an
// agent that writes the upload wrongly, so every member must be present with its JSON type,
// ids must be lower-case UUIDs and times "yyyy-MM-dd HH:mm:ss". Unknown members are ignored.
// A null list (the agent's way of saying it could not write one) reads as empty.
struct UploadedActivities {
    // The upload, or what is wrong with the body, one message per fault (the first few).
    static std::variant<UploadedActivities, QStringList> parse(const QByteArray &body);

    qint64 timezoneOffset = 0;
    QList<UploadedAppSession> appSessions;
};

} // namespace hourloom::devserver
