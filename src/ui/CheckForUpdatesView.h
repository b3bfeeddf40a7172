#pragma once

#include <QAction>

namespace hourloom {

class CheckForUpdatesViewModel;
class UpdaterProtocol;

// The "Check for Updates…" command: starts a check, enabled only while one can start.
class CheckForUpdatesView : public QAction {
    Q_OBJECT
public:
    explicit CheckForUpdatesView(UpdaterProtocol &updater, QObject *parent = nullptr);

    CheckForUpdatesViewModel &viewModel() const { return *viewModel_; }

private:
    CheckForUpdatesViewModel *viewModel_;
};

} // namespace hourloom
