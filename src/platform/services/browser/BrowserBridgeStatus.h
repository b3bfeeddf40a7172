#pragma once

#include "BrowserBridgeInstaller.h"
#include "platform/services/browserstate/BrowserStateStore.h"

#include <optional>

namespace hourloom {

// Whether the bridge works in one browser of this user: its host manifest (the user's or the
// system's), the extension in one of its profiles, and a host of it running that has reported.
struct BrowserBridgeStatus {
    const BrowserFamily *family = nullptr;
    std::optional<QString> hostManifest;
    bool extensionInstalled = false;
    bool reporting = false;

    // One entry per browser this user has run (its profile folder exists) or that reports now.
    // System folders are looked for under `systemRoot` ("" for the real ones).
    static QList<BrowserBridgeStatus> of(const BrowserBridgeInstaller &installer, const BrowserStateStore &store,
                                         const QString &systemRoot = QString());
    // "Chromium: host manifest <path>; extension installed; reporting now".
    QString describe() const;
};

} // namespace hourloom
