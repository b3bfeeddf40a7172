#pragma once

#include "AppcastItem.h"

#include <QString>

namespace hourloom {

// Why a check found nothing to say about versions.
enum class UpdateCheckFailure {
    // The configuration names no update feed.
    NotConfigured,
    // No answer, or an answer other than 2xx.
    FeedUnreachable,
    // The answer is not an update feed.
    FeedUnreadable,
};

// Tells the user what an update check found. The checks themselves know nothing of windows.
class UpdatePresenterProtocol {
public:
    virtual ~UpdatePresenterProtocol() = default;
    virtual void showUpdateAvailable(const AppcastItem &item, const QString &currentVersion) = 0;
    virtual void showUpToDate(const QString &currentVersion) = 0;
    virtual void showFailure(UpdateCheckFailure failure) = 0;
};

} // namespace hourloom
