#pragma once

#include <QString>
#include <QStringList>
#include <QThread>

namespace hourloom::test {

class StatusNotifierWatcherObject;

// The org.kde.StatusNotifierWatcher a desktop's panel keeps on the session bus, with a host
// registered, so that Qt shows tray icons as StatusNotifierItems there. It answers from a thread
// of its own: Qt asks it blocking questions from the main thread when a tray icon is made.
class StatusNotifierWatcher {
public:
    explicit StatusNotifierWatcher(const QString &busAddress);
    ~StatusNotifierWatcher();
    StatusNotifierWatcher(const StatusNotifierWatcher &) = delete;
    StatusNotifierWatcher &operator=(const StatusNotifierWatcher &) = delete;

    // Empty when the watcher owns its name on the bus; otherwise what went wrong.
    const QString &error() const { return error_; }
    // The items registered so far, each as bus name followed by object path.
    QStringList registeredItems() const;

private:
    QThread thread_;
    StatusNotifierWatcherObject *object_;
    QString connectionName_;
    QString error_;
};

} // namespace hourloom::test
