#pragma once

#include "UpdateLinkPolicy.h"
#include "UpdatePresenterProtocol.h"

#include "core/ports/URLSessionProtocol.h"
#include "core/ports/UpdaterProtocol.h"

#include <QUrl>

#include <memory>
#include <optional>

namespace hourloom {

// Checks an appcast for a version newer than the running one and has the presenter tell the
// user. One check at a time: canCheckForUpdates is false while a check runs. The check runs as
// a coroutine on the main loop.
class AppcastUpdater final : public UpdaterProtocol {
    Q_OBJECT
public:
    // feedURL absent: every check reports that updates are not configured. Only the links the
    // policy allows reach the presenter.
    AppcastUpdater(std::shared_ptr<URLSessionProtocol> session, std::optional<QUrl> feedURL, QString currentVersion,
                   std::shared_ptr<UpdatePresenterProtocol> presenter, UpdateLinkPolicy links = UpdateLinkPolicy(),
                   QObject *parent = nullptr);

    bool canCheckForUpdates() const override;
    void checkForUpdates() override;

    // The check checkForUpdates() starts, to be awaited; does nothing while one runs.
    QCoro::Task<void> check();

private:
    void setCanCheckForUpdates(bool canCheck);
    void present(const URLSessionCompletion &completion);

    std::shared_ptr<URLSessionProtocol> session_;
    std::optional<QUrl> feedURL_;
    QString currentVersion_;
    std::shared_ptr<UpdatePresenterProtocol> presenter_;
    UpdateLinkPolicy links_;
    bool canCheckForUpdates_ = true;
};

} // namespace hourloom
