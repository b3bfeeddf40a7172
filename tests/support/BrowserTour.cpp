#include "BrowserTour.h"
#include "TestFiles.h"

#include "platform/services/browser/BridgeScriptLibrary.h"
#include "platform/services/errors/StandardErrorLogger.h"

#include <QDir>
#include <QElapsedTimer>

#include <iostream>

namespace hourloom::test {

namespace {
constexpr int stepBound = 30000;
} // namespace

BrowserTour::BrowserTour(QString windowClass, WindowFacts facts)
    : windowClass_(std::move(windowClass))
    , facts_(std::move(facts))
{
}

void BrowserTour::SetUp()
{
    ASSERT_TRUE(desktop.error().isEmpty()) << desktop.error().toStdString();
    ASSERT_TRUE(root.isValid());
    ASSERT_TRUE(server.isListening());
    // As on a logged-in desktop, the runtime folder exists (0700) before anything runs.
    ASSERT_TRUE(QDir().mkdir(root.filePath("run"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    store = std::make_shared<BrowserStateStore>(root.filePath("run/hourloom/browser"));

    const DesktopEntryIndex desktopEntries = DesktopEntryIndex::fromSystem();
    const DesktopEntry *entry = desktopEntries.find(facts_);
    ASSERT_NE(entry, nullptr);
    appSession = std::make_shared<AppSession>(entry->name, entry->id);
    controller = std::make_shared<WebSessionController>(appSession, WebScriptingPlatform{BridgeScriptLibrary::type(store), StandardErrorLogger::shared()});
    controller->scriptCache = std::make_shared<WebScriptCache>();
    // Every page of the tour is shown briefly; keep them all.
    controller->minWebSessionDuration = 0;
    controller->startPolling();
    poll = int(controller->webPollingInterval * 1000);
}

QProcessEnvironment BrowserTour::environment() const
{
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home());
    environment.insert("XDG_CONFIG_HOME", home() + "/.config");
    environment.insert("XDG_CACHE_HOME", root.filePath("cache"));
    environment.insert("XDG_RUNTIME_DIR", root.filePath("run"));
    environment.insert("DISPLAY", desktop.display());
    return environment;
}

QStringList BrowserTour::windows()
{
    return desktop.xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"), windowClass_})
        .split(u'\n', Qt::SkipEmptyParts);
}

QString BrowserTour::windowBesides(const QStringList &known)
{
    for (const QString &window : windows()) {
        if (!known.contains(window))
            return window;
    }
    return {};
}

bool BrowserTour::showsDomain(const QString &domain) const
{
    const auto active = appSession->activeWebSession();
    return active && active->webDomain()->domain() == domain;
}

void BrowserTour::navigateAcrossSites()
{
    const QString longURL = server.pageURL(QStringLiteral("alpha.test")) + QStringLiteral("?q=") + QString(200 * 1024, u'x')
                            + QStringLiteral("&token=s3cret");
    const QList<std::pair<QString, QString>> navigations{
        {server.pageURL(QStringLiteral("beta.test")), QStringLiteral("beta.test")},
        {server.pageURL(QStringLiteral("xn--bcher-kva.test")), QStringLiteral("b\u00fccher.test")},
        {longURL, QStringLiteral("alpha.test")},
    };
    for (const auto &[url, domain] : navigations) {
        ASSERT_TRUE(XDesktop::spinUntil([&] { return server.waitingPages() > 0; }, stepBound));
        QElapsedTimer sinceNavigation;
        sinceNavigation.start();
        ASSERT_EQ(server.navigate(url), 1);
        ASSERT_TRUE(XDesktop::spinUntil([&] { return showsDomain(domain); }, stepBound)) << domain.toStdString();
        navigationLatencies_ << sinceNavigation.elapsed();
    }
}

void BrowserTour::activateInTurn(const QList<std::pair<QString, QString>> &windowsAndDomains)
{
    for (const auto &[window, domain] : windowsAndDomains) {
        QElapsedTimer sinceActivation;
        sinceActivation.start();
        ASSERT_TRUE(desktop.activate(window));
        ASSERT_TRUE(XDesktop::spinUntil([&] { return showsDomain(domain); }, stepBound)) << domain.toStdString();
        activationLatencies_ << sinceActivation.elapsed();
    }
}

void BrowserTour::privateWindowInFront(const std::function<bool()> &open, const QString &firstWindow)
{
    sessionsBeforePrivate_ = appSession->webSessions().size();
    ASSERT_TRUE(open());
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !appSession->activeWebSession(); }, stepBound)) << "the private window did not end the web session";
    XDesktop::spinFor(poll + 500);
    EXPECT_EQ(appSession->webSessions().size(), sessionsBeforePrivate_);
    for (const QString &name : QDir(store->directory()).entryList(QDir::Files))
        EXPECT_FALSE(readFile(store->directory() + u'/' + name).value_or("secret").contains("secret")) << name.toStdString();
    ASSERT_TRUE(desktop.activate(firstWindow));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return showsDomain(QStringLiteral("alpha.test")); }, stepBound));
}

void BrowserTour::expectTheToursWebSessions(QList<qsizetype> gaps) const
{
    QStringList domains;
    for (const auto &webSession : appSession->webSessions())
        domains << webSession->webDomain()->domain() + (webSession->isActive() ? "*" : "");
    EXPECT_EQ(domains, (QStringList{"alpha.test", "beta.test", QStringLiteral("b\u00fccher.test"), "alpha.test", "gamma.test", "alpha.test",
                                    "gamma.test", "alpha.test*"}));
    // A change of domain ends one session and starts the next from two readings of the clock:
    // a pause is more than half a second between them.
    gaps.append(sessionsBeforePrivate_);
    const auto &sessions = appSession->webSessions();
    for (qsizetype i = 1; i < sessions.size(); ++i) {
        const auto end = sessions[i - 1]->endTime();
        ASSERT_TRUE(end && *end <= sessions[i]->startTime()) << "web session " << i << " began before the one before it ended";
        EXPECT_EQ(end->msecsTo(sessions[i]->startTime()) > 500, gaps.contains(i)) << "web session " << i;
    }
}

void BrowserTour::closedBrowserLeavesTheSessionOpen(const std::function<void()> &close, const QString &familyId)
{
    const qsizetype sessionCount = appSession->webSessions().size();
    close();
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !store->current(familyId).has_value(); }));
    XDesktop::spinFor(poll + 500);
    EXPECT_EQ(appSession->webSessions().size(), sessionCount);
    EXPECT_TRUE(appSession->webSessions().last()->isActive());
}

void BrowserTour::reportLatencies(const QString &browser) const
{
    QStringList figures;
    for (const qint64 ms : navigationLatencies_ + activationLatencies_)
        figures << QString::number(ms);
    std::cout << browser.toStdString() << ": navigation (" << navigationLatencies_.size() << ") and window activation ("
              << activationLatencies_.size() << ") to applied domain change, ms (poll interval " << poll
              << " ms): " << figures.join(QStringLiteral(", ")).toStdString() << std::endl;
    ::testing::Test::RecordProperty("navigationToDomainMs", figures.join(u',').toStdString());
}

} // namespace hourloom::test
