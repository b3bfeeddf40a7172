#pragma once

#include "BrowserState.h"

#include <QString>

#include <optional>

namespace hourloom {

// The hand-off between the browsers' native hosts and the agent: one state file per host (that
// is, per browser profile) in a folder only the user can enter. Hosts replace their file
// atomically; the agent believes a file only when the user owns it, nobody else can read or
// write it, and its writer still runs.
class BrowserStateStore {
public:
    // privateRuntimeFolder()/browser: $XDG_RUNTIME_DIR/hourloom/browser as a rule.
    static QString defaultDirectory();

    explicit BrowserStateStore(QString directory = defaultDirectory());
    const QString &directory() const { return directory_; }

    // Creates the folder (0700) when missing; false when it exists but is not the user's alone.
    bool preparePrivateDirectory() const;
    // The host's own file: <family>-<pid>.json.
    QString stateFilePath(const QString &familyId, qint64 pid) const;
    bool write(const QString &familyId, const BrowserState &state) const;
    void remove(const QString &familyId, qint64 pid) const;

    // The state to answer for the browser: of its hosts that still run, the one whose window has
    // the focus, else the one heard from last. None when there is none.
    std::optional<BrowserState> current(const QString &familyId) const;

private:
    std::optional<BrowserState> readBelieved(const QString &path) const;

    QString directory_;
};

} // namespace hourloom
