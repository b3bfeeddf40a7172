#include "Assets.h"

#include <QFile>

// The resources live in a static library: nothing would pull them into the executable unless
// something refers to them.
static void initAssets()
{
    static const bool initialised = [] {
        Q_INIT_RESOURCE(hourloom);
        return true;
    }();
    (void)initialised;
}

namespace hourloom {
namespace {

QString assetPath(const char *name)
{
    initAssets();
    return QStringLiteral(":/hourloom/assets/%1.svg").arg(QLatin1String(name));
}

QIcon themed(const char *themeName, const char *fallback)
{
    return QIcon::fromTheme(QLatin1String(themeName), QIcon(assetPath(fallback)));
}

QPixmap rendered(const char *name, const QSize &box)
{
    // The icon engine renders the SVG at the requested size instead of scaling a bitmap.
    const QIcon icon(assetPath(name));
    const QSize size = icon.actualSize(QSize(4096, 4096)).scaled(box, Qt::KeepAspectRatio);
    return icon.pixmap(size);
}

} // namespace

QIcon Assets::statusBarIcon(bool loggedIn)
{
    return QIcon(assetPath(loggedIn ? "StatusBarIcon" : "StatusBarIconLoggedOut"));
}

QPixmap Assets::logo(int width)
{
    return rendered("HourloomLogoShrunk", QSize(width, width));
}

QPixmap Assets::placeholderAvatar(int side)
{
    return rendered("PlaceholderAvatar", QSize(side, side));
}

QColor Assets::backgroundGray(const QPalette &palette)
{
    const bool darkTheme = palette.color(QPalette::Window).lightness() < 128;
    return darkTheme ? QColor(0x2b, 0x2d, 0x30) : QColor(0xec, 0xed, 0xee);
}

QIcon Assets::minimizeSymbol()
{
    return themed("window-minimize", "minus-circle");
}

QIcon Assets::quitSymbol()
{
    return themed("window-close", "xmark-circle");
}

QIcon Assets::settingsSymbol()
{
    return themed("preferences-system", "gear");
}

QIcon Assets::helpSymbol()
{
    return themed("help-about", "question-circle");
}

} // namespace hourloom
