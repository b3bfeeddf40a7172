#pragma once

#include "DesktopEntry.h"

#include <QHash>
#include <QList>
#include <QStringList>

namespace hourloom {

// What the desktop knows of a window, for finding the application it belongs to.
struct WindowFacts {
    std::optional<QString> wmClassInstance;
    std::optional<QString> wmClassClass;
    std::optional<QString> applicationId;  // _GTK_APPLICATION_ID or _KDE_NET_WM_DESKTOP_FILE
    std::optional<QString> executable;     // the owning process's program
    // KWin 6.7 names a desktop file for an X11 window that names none, by its own guess: an entry
    // whose StartupWMClass is exactly the window's class then says more.
    bool applicationIdMayBeGuessed = false;
};

// The application entries installed for this user, indexed once.
class DesktopEntryIndex {
public:
    // Reads applications/ under $XDG_DATA_HOME and $XDG_DATA_DIRS; the first of two entries with
    // one id wins, as the desktop itself decides.
    static DesktopEntryIndex fromSystem();
    explicit DesktopEntryIndex(QList<DesktopEntry> entries);

    // The application's entry, by the first rule that finds one: its application id (after an exact
    // StartupWMClass where the id may be a guess); StartupWMClass
    // against the WM_CLASS class, then the instance (exactly, then in any case); the desktop id
    // against the class (also the last part of a reverse-DNS id), case-insensitively; the one
    // entry whose program is the window's.
    const DesktopEntry *find(const WindowFacts &window) const;

    // The user's languages in the order Name[...] keys are tried (e.g. de_DE@euro, de_DE, de@euro, de).
    static QStringList languagesFor(const QString &locale);

private:
    const DesktopEntry *declaringClassOf(const WindowFacts &window, Qt::CaseSensitivity sensitivity) const;

    QList<DesktopEntry> entries_;
    QHash<QString, qsizetype> byId_;
};

} // namespace hourloom
