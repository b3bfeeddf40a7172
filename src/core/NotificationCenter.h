#pragma once

#include <QObject>
#include <QString>

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

namespace hourloom {

// A named event with an optional dictionary of values of any type.
struct Notification {
    QString name;
    std::optional<std::map<QString, std::any>> userInfo;
};

using ObserverToken = std::uint64_t;

// An in-process notification center. Observers are called on the main loop, after the post
// returns, in the order they were added.
class NotificationCenter {
public:
    using Block = std::function<void(const Notification &)>;

    NotificationCenter();
    ~NotificationCenter();

    ObserverToken addObserver(const QString &name, Block block);
    void removeObserver(ObserverToken token);
    void post(Notification notification);

    // The center the desktop's workspace posts its notifications to.
    static NotificationCenter &workspaceCenter();

private:
    void deliver(const Notification &notification);

    std::map<ObserverToken, std::pair<QString, Block>> observers_;
    ObserverToken nextToken_ = 1;
    QObject *context_;
};

} // namespace hourloom
