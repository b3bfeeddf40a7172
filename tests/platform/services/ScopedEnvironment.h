#pragma once

#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace hourloom::test {

// Sets environment variables of this process, or removes those given no value, until it goes
// away: for what reads the environment of the process itself, or starts children with it.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(const QList<std::pair<QString, std::optional<QString>>> &values)
    {
        for (const auto &[name, value] : values) {
            const QByteArray key = name.toUtf8();
            saved_.append({key, qEnvironmentVariableIsSet(key) ? std::optional(qgetenv(key)) : std::nullopt});
            if (value)
                qputenv(key, value->toUtf8());
            else
                qunsetenv(key);
        }
    }
    ~ScopedEnvironment()
    {
        for (const auto &[name, value] : saved_) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    QList<std::pair<QByteArray, std::optional<QByteArray>>> saved_;
};

} // namespace hourloom::test
