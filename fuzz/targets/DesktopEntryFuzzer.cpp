// A desktop entry's text, read for a user with a regional language.
#include "platform/desktops/entries/DesktopEntry.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>

using namespace hourloom;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QStringList languages{QStringLiteral("de_AT"), QStringLiteral("de")};
    (void)DesktopEntry::parse(QStringLiteral("org.example.Fuzzed"), QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), languages);
    return 0;
}
