#pragma once

#include <QObject>

namespace hourloom {

class UpdaterProtocol;

// Mirrors the updater's "a check can start now" flag, from construction on.
class CheckForUpdatesViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
public:
    explicit CheckForUpdatesViewModel(UpdaterProtocol &updater, QObject *parent = nullptr);

    bool canCheckForUpdates() const { return canCheckForUpdates_; }

signals:
    void canCheckForUpdatesChanged(bool canCheckForUpdates);

private:
    void setCanCheckForUpdates(bool canCheck);

    bool canCheckForUpdates_ = false;
};

} // namespace hourloom
