#include "CheckForUpdatesViewModel.h"

#include "core/ports/UpdaterProtocol.h"

namespace hourloom {

CheckForUpdatesViewModel::CheckForUpdatesViewModel(UpdaterProtocol &updater, QObject *parent)
    : QObject(parent)
{
    connect(&updater, &UpdaterProtocol::canCheckForUpdatesChanged, this, &CheckForUpdatesViewModel::setCanCheckForUpdates);
    setCanCheckForUpdates(updater.canCheckForUpdates());
}

void CheckForUpdatesViewModel::setCanCheckForUpdates(bool canCheck)
{
    if (canCheck == canCheckForUpdates_)
        return;
    canCheckForUpdates_ = canCheck;
    emit canCheckForUpdatesChanged(canCheck);
}

} // namespace hourloom
