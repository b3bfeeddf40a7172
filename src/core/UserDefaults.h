#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace hourloom {

// Announces every change made through UserDefaults, on the thread that made it (the main loop),
// so that views follow a default such as "loggedIn".
class UserDefaultsNotifier : public QObject {
    Q_OBJECT
signals:
    void changed(const QString &key);
};

// The per-user defaults store: QSettings of organisation and application "Hourloom"
// ($XDG_CONFIG_HOME/Hourloom/Hourloom.conf).
class UserDefaults {
public:
    static UserDefaultsNotifier &notifier();

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
