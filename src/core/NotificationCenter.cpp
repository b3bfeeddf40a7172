#include "NotificationCenter.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace hourloom {

NotificationCenter::NotificationCenter()
    : context_(new QObject)
{
    // The context lives on the main thread, so queued deliveries run on the main loop wherever
    // the post came from.
    if (auto *application = QCoreApplication::instance())
        context_->moveToThread(application->thread());
}

NotificationCenter::~NotificationCenter()
{
    // Deleting the context drops every delivery still queued for it.
    delete context_;
}

ObserverToken NotificationCenter::addObserver(const QString &name, Block block)
{
    const ObserverToken token = nextToken_++;
    observers_.emplace(token, std::make_pair(name, std::move(block)));
    return token;
}

void NotificationCenter::removeObserver(ObserverToken token)
{
    observers_.erase(token);
}

void NotificationCenter::post(Notification notification)
{
    QMetaObject::invokeMethod(context_, [this, notification = std::move(notification)] { deliver(notification); },
                              Qt::QueuedConnection);
}

void NotificationCenter::deliver(const Notification &notification)
{
    // Observers may add or remove observers while they run: walk a snapshot of the tokens and
    // skip any removed in the meantime.
    std::vector<ObserverToken> tokens;
    for (const auto &[token, observer] : observers_) {
        if (observer.first == notification.name)
            tokens.push_back(token);
    }
    for (const ObserverToken token : tokens) {
        const auto found = observers_.find(token);
        if (found == observers_.end())
            continue;
        const Block block = found->second.second;
        block(notification);
    }
}

NotificationCenter &NotificationCenter::workspaceCenter()
{
    static NotificationCenter center;
    return center;
}

} // namespace hourloom
