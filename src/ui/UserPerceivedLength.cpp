#include "UserPerceivedLength.h"

#include <QTextBoundaryFinder>

namespace hourloom {

qsizetype userPerceivedLength(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

} // namespace hourloom
