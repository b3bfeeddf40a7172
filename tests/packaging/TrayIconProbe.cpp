// Run where the Debian package alone was installed (scripts/check-package): exits 0 only when both
// tray icons draw something, which takes the SVG icon engine the package must pull in.
#include "ui/Assets.h"

#include <QGuiApplication>
#include <QImage>

#include <cstdio>

static bool draws(const QIcon &icon)
{
    const QImage image = icon.pixmap(32, 32).toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
    return false;
}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    bool drawn = true;
    for (const bool loggedIn : {false, true}) {
        const bool drew = draws(hourloom::Assets::statusBarIcon(loggedIn));
        std::printf("tray icon %s: %s\n", loggedIn ? "logged in" : "logged out", drew ? "drawn" : "EMPTY");
        drawn = drawn && drew;
    }
    return drawn ? 0 : 1;
}
