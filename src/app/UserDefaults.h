#pragma once

#include <QString>

#include <optional>

namespace hourloom {

// The per-user defaults store: QSettings of organisation and application "Hourloom"
// ($XDG_CONFIG_HOME/Hourloom/Hourloom.conf).
class UserDefaults {
public:
    static inline const QString loggedInKey = QStringLiteral("loggedIn");
    static inline const QString launchedBeforeKey = QStringLiteral("LaunchedBefore");
    static inline const QString deviceIdKey = QStringLiteral("DeviceId");
    static inline const QString userNameKey = QStringLiteral("UserName");

    static std::optional<QString> string(const QString &key);
    static void setString(const QString &key, const QString &value);
    static bool boolean(const QString &key);
    static void setBoolean(const QString &key, bool value);
    static void remove(const QString &key);
};

} // namespace hourloom
