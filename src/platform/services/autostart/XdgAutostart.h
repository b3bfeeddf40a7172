#pragma once

#include "core/ports/LaunchAtLoginProtocol.h"

#include <QString>

namespace hourloom {

// Launch at login through the freedesktop autostart folder: a desktop entry
// $XDG_CONFIG_HOME/autostart/hourloom.desktop (~/.config when the variable is unset) that
// starts the executable. The entry is written whole every time, so a copy the user switched
// off (Hidden=true, X-GNOME-Autostart-enabled=false) is switched on again.
class XdgAutostart final : public LaunchAtLoginProtocol {
public:
    // executablePath: the absolute path the entry starts.
    explicit XdgAutostart(QString executablePath);

    bool registerMainApp() override;

    // Where the entry goes, read from the environment at each call.
    static QString entryPath();
    // The entry's text.
    QByteArray entry() const;

private:
    QString executablePath_;
};

} // namespace hourloom
