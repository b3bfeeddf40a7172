#pragma once

#include <QString>

namespace hourloom::devserver {

// 32 random bytes from the system's generator as URL-safe base64 without padding: tokens,
// session cookies, form tokens.
QString randomToken();

} // namespace hourloom::devserver
