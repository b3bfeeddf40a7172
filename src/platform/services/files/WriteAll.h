#pragma once

#include <QByteArray>

namespace hourloom {

// Writes every byte to the file descriptor, going on after short writes and interruptions;
// false when the descriptor fails.
bool writeAll(int fd, const QByteArray &bytes);

} // namespace hourloom
