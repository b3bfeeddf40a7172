#include "CheckForUpdatesView.h"

#include "CheckForUpdatesViewModel.h"

#include "core/ports/UpdaterProtocol.h"

namespace hourloom {

CheckForUpdatesView::CheckForUpdatesView(UpdaterProtocol &updater, QObject *parent)
    : QAction(QStringLiteral("Check for Updates\u2026"), parent)
    , viewModel_(new CheckForUpdatesViewModel(updater, this))
{
    setEnabled(viewModel_->canCheckForUpdates());
    connect(viewModel_, &CheckForUpdatesViewModel::canCheckForUpdatesChanged, this, &QAction::setEnabled);
    connect(this, &QAction::triggered, &updater, &UpdaterProtocol::checkForUpdates);
}

} // namespace hourloom
