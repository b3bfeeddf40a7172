#pragma once

#include <QJsonObject>
#include <QString>

namespace hourloom {

class JsonWriter;

// The application a session is about, as it goes on the wire.
struct DesktopApp {
    QString appName;
    QString bundleIdentifier;

    void encode(JsonWriter &writer) const;
    static DesktopApp decode(const QJsonObject &object);

    friend bool operator==(const DesktopApp &, const DesktopApp &) = default;
};

} // namespace hourloom
