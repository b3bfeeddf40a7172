#pragma once

#include <QByteArray>
#include <QString>

namespace hourloom::devserver {

// 32 random bytes from the system's generator as URL-safe base64 without padding: tokens,
// session cookies, form tokens.
QString randomToken();

// What the database keeps of such a token, and looks it up by: whoever reads the file cannot
// use it. The token is 256 random bits, so an unsalted fast hash is as strong as the token.
QByteArray tokenHash(const QString &token);

} // namespace hourloom::devserver
