#pragma once

#include <QString>

namespace hourloom {

// The number of characters a reader sees (grapheme clusters): "é" typed as e and a combining
// accent counts once, so does an emoji made of a surrogate pair; spaces count.
qsizetype userPerceivedLength(const QString &text);

} // namespace hourloom
