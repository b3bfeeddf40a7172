#pragma once

#include "UpdatePresenterProtocol.h"

namespace hourloom {

// Tells the user in a message box that stays open beside the agent (never a nested event
// loop): the new version with its release notes and a "Download" button that opens the
// download in the browser, that the running version is the newest, or why the check failed.
// Needs a QApplication.
class MessageBoxUpdatePresenter final : public UpdatePresenterProtocol {
public:
    void showUpdateAvailable(const AppcastItem &item, const QString &currentVersion) override;
    void showUpToDate(const QString &currentVersion) override;
    void showFailure(UpdateCheckFailure failure) override;

    // A feed's HTML release notes as the plain text that is shown: no markup, no links.
    static QString releaseNotesText(const QString &html);
};

} // namespace hourloom
