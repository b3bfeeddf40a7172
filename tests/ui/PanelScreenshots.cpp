// Renders the panel in both states into PNG files for the README:
//   panel_screenshots <folder>  →  panel-logged-out.png, panel-logged-in.png
// Runs on the offscreen platform at twice the pixel density, with fake collaborators.
#include "UiFakes.h"

#include "ui/LoginView.h"
#include "ui/LoginViewModel.h"
#include "ui/MenuBarView.h"

#include "core/Clock.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextStream>

#include <qcoro/qcorotask.h>

using namespace hourloom;
using namespace hourloom::test;

namespace {

bool save(QWidget &view, const QString &path)
{
    view.show();
    QCoreApplication::processEvents();
    return view.grab().save(path);
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Hourloom"));
    QCoreApplication::setApplicationName(QStringLiteral("Hourloom"));
    if (argc != 2) {
        QTextStream(stderr) << "usage: panel_screenshots <folder>\n";
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));

    PanelHarness harness;
    // A login the service throttles, and a name too long for the panel.
    harness.userActivity->auth->nextResult = AuthResult::tooManyAttempts(Clock::now().addSecs(30));
    MenuBarView view(harness.environment(), false);
    auto *loginView = qobject_cast<LoginView *>(view.content());
    findByIdentifier<QLineEdit>(*loginView, QStringLiteral("Email Input"))->setText(QStringLiteral("ada@example.org"));
    findByIdentifier<QLineEdit>(*loginView, QStringLiteral("Password Input"))->setText(QStringLiteral("not my password"));
    QCoro::waitFor(loginView->viewModel().logIn());
    if (!save(view, folder.filePath(QStringLiteral("panel-logged-out.png"))))
        return 1;

    UserDefaults::setString(UserDefaults::userNameKey, QStringLiteral("augusta.ada.king-noel@analytical-engine.example.org"));
    UserDefaults::setBoolean(UserDefaults::loggedInKey, true);
    return save(view, folder.filePath(QStringLiteral("panel-logged-in.png"))) ? 0 : 1;
}
