// Measures, on a private headless KWin, how long a focus request takes to reach handleAppSwitch
// through the script-fed KDE workspace, and how often the process wakes up while nothing happens
// with KWin's idle notice armed. Usage: kwin_switch_latency [switches] [idle seconds]

#include "support/KWinDesktop.h"

#include "SwitchMeasurement.h"

#include <QDBusContext>
#include <QDBusMessage>

using namespace hourloom;
using hourloom::test::KWinDesktop;

namespace {

// A client can ask KWin for a focus change only through a script, and loading and starting a
// script costs KWin milliseconds that no user's switch pays. So one script stays loaded and asks
// this object for the next window to activate; the question is answered when a switch is wanted,
// and the answer is the request: one message, as a focus command to sway is.
class FocusRequests final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.hourloom.FocusRequests")

public:
    static constexpr const char *path = "/org/hourloom/FocusRequests";

    explicit FocusRequests(const QDBusConnection &bus)
        : bus_(bus)
    {
        bus_.registerObject(QString::fromLatin1(path), this, QDBusConnection::ExportScriptableSlots);
    }

    // Activates the window once the script asks again after the last switch; false when it does
    // not ask within seconds.
    bool request(const QString &window)
    {
        // It asked right after the last activation: mostly the question is here already.
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.start(10000);
        while (question_.type() != QDBusMessage::MethodCallMessage && deadline.isActive())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const bool asked = bus_.send(question_.createReply(window));
        question_ = QDBusMessage();
        return asked;
    }

public Q_SLOTS:
    Q_SCRIPTABLE QString next()
    {
        setDelayedReply(true);
        question_ = message();
        return QString();
    }

private:
    QDBusConnection bus_;
    QDBusMessage question_;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const bench::Figures figures = bench::figuresFrom(argc, argv, 60);
    KWinDesktop kwin;
    if (!bench::isUp(kwin))
        return 1;
    FocusRequests requests(kwin.bus());
    const QString ask = QStringLiteral("callDBus(\"%1\", \"%2\", \"org.hourloom.FocusRequests\", \"next\", activateAndAsk);")
                            .arg(kwin.bus().baseService(), QString::fromLatin1(FocusRequests::path));
    const QString script = kwin.runScript(QStringLiteral("function activateAndAsk(window) { activateWindow(window); %1 }\n%1").arg(ask));
    if (script.isEmpty()) {
        std::fprintf(stderr, "KWin refused the focus script\n");
        return 1;
    }
    return bench::measureDesktop(
        kwin, figures, [&](const test::TestWindow &window) { requests.request(window.handle); },
        [&](const PlatformBackend &) {
            kwin.unloadScript(script);
            requests.request(QString()); // nothing is left waiting while the agent idles
        });
}

#include "KWinSwitchLatency.moc"
