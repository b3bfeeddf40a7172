#pragma once

#include <QJsonValue>
#include <QString>

namespace hourloom {

// One message of the activity endpoint's answer.
struct ApiResponseMessage {
    QString message;

    static ApiResponseMessage decode(const QJsonValue &value);
};

} // namespace hourloom
