#pragma once

#include <QByteArray>
#include <QString>

namespace hourloom {

// The GNU build id an ELF file carries in its notes (what symbol servers and debuginfod key
// the file's debugging symbols by); empty when the file cannot be read or has none.
QByteArray elfBuildId(const QString &path);

} // namespace hourloom
