#include "StatusNotifierWatcher.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QMutex>
#include <QMutexLocker>

namespace hourloom::test {

namespace {
const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString defaultItemPath = QStringLiteral("/StatusNotifierItem");
} // namespace

class StatusNotifierWatcherObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    QStringList registeredItems() const
    {
        QMutexLocker lock(&mutex_);
        return items_;
    }
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public slots:
    // An item names either its bus name (its object then sits at the default path) or an object
    // path on the caller's own connection.
    void RegisterStatusNotifierItem(const QString &serviceOrPath)
    {
        const QString item = serviceOrPath.startsWith(u'/') ? message().service() + serviceOrPath : serviceOrPath + defaultItemPath;
        {
            QMutexLocker lock(&mutex_);
            if (items_.contains(item))
                return;
            items_.append(item);
        }
        emit StatusNotifierItemRegistered(item);
    }
    void RegisterStatusNotifierHost(const QString &) {}

signals:
    void StatusNotifierItemRegistered(const QString &item);
    void StatusNotifierItemUnregistered(const QString &item);
    void StatusNotifierHostRegistered();

private:
    mutable QMutex mutex_;
    QStringList items_;
};

StatusNotifierWatcher::StatusNotifierWatcher(const QString &busAddress)
    : object_(new StatusNotifierWatcherObject)
    , connectionName_(QStringLiteral("hourloom-test-status-notifier-watcher"))
{
    object_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, object_, &QObject::deleteLater);
    thread_.start();
    // Registering makes objects that must live in the watcher's own thread.
    QMetaObject::invokeMethod(
        object_,
        [this, busAddress] {
            QDBusConnection connection = QDBusConnection::connectToBus(busAddress, connectionName_);
            if (!connection.isConnected())
                error_ = QStringLiteral("the watcher could not connect to the bus: ") + connection.lastError().message();
            else if (!connection.registerObject(watcherPath, object_, QDBusConnection::ExportAllContents) ||
                     !connection.registerService(watcherService))
                error_ = QStringLiteral("the watcher could not take its name: ") + connection.lastError().message();
        },
        Qt::BlockingQueuedConnection);
}

StatusNotifierWatcher::~StatusNotifierWatcher()
{
    QDBusConnection::disconnectFromBus(connectionName_);
    thread_.quit();
    thread_.wait();
}

QStringList StatusNotifierWatcher::registeredItems() const
{
    return object_->registeredItems();
}

} // namespace hourloom::test

#include "StatusNotifierWatcher.moc"
