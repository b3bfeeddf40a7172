#pragma once

#include <QObject>

namespace hourloom {

// Looks for a newer version of the agent when the user asks. Whether a check can start now is
// observable: it is false while a check runs.
class UpdaterProtocol : public QObject {
    Q_OBJECT
public:
    virtual bool canCheckForUpdates() const = 0;
    // A user-initiated check; the updater tells the user what it found.
    virtual void checkForUpdates() = 0;

signals:
    void canCheckForUpdatesChanged(bool canCheckForUpdates);
};

} // namespace hourloom
