#include "FatalError.h"

#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

namespace hourloom {

void fatalError(const QString &message, std::source_location origin)
{
    const QString file = QFileInfo(QString::fromUtf8(origin.file_name())).fileName();
    const QByteArray line = QStringLiteral("Fatal error: %1: file %2, line %3\n")
                                .arg(message, file)
                                .arg(origin.line())
                                .toUtf8();
    std::fflush(stdout);
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
    // _Exit: no static destructors may run while other threads still use them.
    std::_Exit(EXIT_FAILURE);
}

} // namespace hourloom
