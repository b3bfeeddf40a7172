// A small window with a desktop file name of its choosing, for tests on Wayland desktops.
// Usage: qt_test_window DESKTOP_FILE_NAME TITLE
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>

namespace {

class PlainWindow final : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(QRect(QPoint(), size()), Qt::darkCyan); }
};

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 3)
        return 2;
    QGuiApplication::setDesktopFileName(arguments[1]);
    PlainWindow window;
    window.setTitle(arguments[2]);
    window.resize(320, 200);
    window.show();
    return application.exec();
}
