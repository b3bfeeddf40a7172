#pragma once

#include <QString>

namespace hourloom::devserver {

// Text for an HTML element's content or a quoted attribute value: the five characters that
// could end either (& < > " ') become entities, so a name or a domain never turns into markup.
QString escaped(const QString &text);

} // namespace hourloom::devserver
