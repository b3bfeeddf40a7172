#include "FatalError.h"

#include "core/Log.h"

#include <QFileInfo>

#include <cstdlib>

namespace hourloom {

void fatalError(const QString &message, std::source_location origin)
{
    const QString file = QFileInfo(QString::fromUtf8(origin.file_name())).fileName();
    logError(lcConfiguration, QStringLiteral("Fatal error: %1: file %2, line %3").arg(message, file).arg(origin.line()));
    // _Exit: no static destructors may run while other threads still use them.
    std::_Exit(EXIT_FAILURE);
}

} // namespace hourloom
