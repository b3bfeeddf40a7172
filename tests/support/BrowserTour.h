#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

namespace hourloom {
class AppSession;
}

namespace hourloom::test {

class NavigationServer;
class XDesktop;

// The steps the browser tests take through a real browser on a private desktop. Each waits
// until the app session's web session shows the step's domain, and keeps how long that took
// for the figures the tests print. The steps assert: call them in ASSERT_NO_FATAL_FAILURE.
class BrowserTour {
public:
    // The browser's windows are those of the WM_CLASS class `windowClass` (a regular expression).
    BrowserTour(XDesktop &desktop, NavigationServer &server, const AppSession &appSession, QString windowClass);

    // The browser's visible windows.
    QStringList windows() const;
    // The visible window that is not among `known`; empty when there is none.
    QString windowBesides(const QStringList &known) const;

    // From the waiting page to another site, to an internationalised host and to a 200 KiB
    // address on alpha.test (whose domain still counts), one after another.
    void navigateAcrossSites();
    // Brings each window to the front in turn; the web session follows to its domain.
    void activateInTurn(const QList<std::pair<QString, QString>> &windowsAndDomains);

    // One line on standard output and a test property: every step's time to the applied domain
    // change, navigations first.
    void reportLatencies(const QString &browser, int pollMilliseconds) const;

private:
    XDesktop &desktop_;
    NavigationServer &server_;
    const AppSession &appSession_;
    QString windowClass_;
    QList<qint64> navigationLatencies_;
    QList<qint64> activationLatencies_;
};

} // namespace hourloom::test
