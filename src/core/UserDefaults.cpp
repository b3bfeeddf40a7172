#include "UserDefaults.h"

#include <QSettings>

namespace hourloom {
namespace {

QSettings settings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Hourloom"), QStringLiteral("Hourloom"));
}

} // namespace

std::optional<QString> UserDefaults::string(const QString &key)
{
    const QVariant value = settings().value(key);
    if (!value.isValid() || value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

UserDefaultsNotifier &UserDefaults::notifier()
{
    static UserDefaultsNotifier instance;
    return instance;
}

void UserDefaults::setString(const QString &key, const QString &value)
{
    settings().setValue(key, value);
    emit notifier().changed(key);
}

bool UserDefaults::boolean(const QString &key)
{
    return settings().value(key, false).toBool();
}

void UserDefaults::setBoolean(const QString &key, bool value)
{
    settings().setValue(key, value);
    emit notifier().changed(key);
}

void UserDefaults::remove(const QString &key)
{
    settings().remove(key);
    emit notifier().changed(key);
}

} // namespace hourloom
