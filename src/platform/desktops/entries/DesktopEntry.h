#pragma once

#include <QString>

#include <optional>

namespace hourloom {

// The parts of a freedesktop desktop entry that name an application.
struct DesktopEntry {
    QString id;                            // file path under applications/, "/" joined by "-", without ".desktop"
    QString name;                          // Name, localised for the user's language where the entry says
    std::optional<QString> startupWMClass; // the WM_CLASS its windows map with
    std::optional<QString> program;        // Exec's program, resolved to an absolute path when found

    // Reads an application entry; none for other types, hidden entries or text without a Name.
    static std::optional<DesktopEntry> parse(const QString &id, const QByteArray &text, const QStringList &languages);
};

} // namespace hourloom
