#pragma once

#include "model/AppSession.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/services/browserstate/BrowserStateStore.h"
#include "tracking/WebSessionController.h"

#include "NavigationServer.h"
#include "XDesktop.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace hourloom::test {

// A real browser's web sessions followed through the bridge, on a private X desktop: a page
// server on 127.0.0.1 under several host names, a private home and runtime folder, and the web
// session controller polling what the host writes, for the app session of the browser as the
// desktop names its windows. The steps assert (call them in ASSERT_NO_FATAL_FAILURE); each waits
// until the web session shows its domain, and keeps how long that took for the printed figures.
class BrowserTour : public ::testing::Test {
protected:
    // The browser's windows are those of the WM_CLASS class `windowClass` (a regular expression),
    // described to the desktop entries as `facts`.
    BrowserTour(QString windowClass, WindowFacts facts);

    void SetUp() override;

    QString home() const { return root.filePath(QStringLiteral("home")); }
    // The browser's environment: the private home, cache and runtime folders, the private display.
    QProcessEnvironment environment() const;

    // The browser's visible windows.
    QStringList windows();
    // The visible window that is not among `known`; empty when there is none.
    QString windowBesides(const QStringList &known);
    // Whether the open web session is on this domain.
    bool showsDomain(const QString &domain) const;

    // From the waiting page to another site, to an internationalised host and to a 200 KiB
    // address on alpha.test (whose domain still counts), one after another.
    void navigateAcrossSites();
    // Brings each window to the front in turn; the web session follows to its domain.
    void activateInTurn(const QList<std::pair<QString, QString>> &windowsAndDomains);
    // A private window that `open` brings to the front ends the web session, and nothing of its
    // page is kept; `firstWindow` in front again goes back to alpha.test.
    void privateWindowInFront(const std::function<bool()> &open, const QString &firstWindow);
    // The web sessions of the whole tour in order, one after another without gaps but at
    // `gaps` (the indexes of sessions that began after a pause) and after the private window.
    void expectTheToursWebSessions(QList<qsizetype> gaps) const;
    // The browser closed by `close`: the host has gone with its state, and with no value the
    // open web session simply continues.
    void closedBrowserLeavesTheSessionOpen(const std::function<void()> &close, const QString &familyId);

    // One line on standard output and a test property: every step's time to the applied domain
    // change, navigations first.
    void reportLatencies(const QString &browser) const;

    XDesktop desktop;
    QTemporaryDir root;
    NavigationServer server;
    std::shared_ptr<BrowserStateStore> store;
    std::shared_ptr<AppSession> appSession;
    std::shared_ptr<WebSessionController> controller;
    int poll = 0;

private:
    QString windowClass_;
    WindowFacts facts_;
    qsizetype sessionsBeforePrivate_ = -1;
    QList<qint64> navigationLatencies_;
    QList<qint64> activationLatencies_;
};

} // namespace hourloom::test
