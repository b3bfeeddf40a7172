#include "BrowserTour.h"

#include "NavigationServer.h"
#include "WebSessionChecks.h"
#include "XDesktop.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <iostream>

namespace hourloom::test {

namespace {
constexpr int stepBound = 30000;
} // namespace

BrowserTour::BrowserTour(XDesktop &desktop, NavigationServer &server, const AppSession &appSession, QString windowClass)
    : desktop_(desktop)
    , server_(server)
    , appSession_(appSession)
    , windowClass_(std::move(windowClass))
{
}

QStringList BrowserTour::windows() const
{
    return desktop_.xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"), windowClass_})
        .split(u'\n', Qt::SkipEmptyParts);
}

QString BrowserTour::windowBesides(const QStringList &known) const
{
    for (const QString &window : windows()) {
        if (!known.contains(window))
            return window;
    }
    return {};
}

void BrowserTour::navigateAcrossSites()
{
    const QString longURL = server_.pageURL(QStringLiteral("alpha.test")) + QStringLiteral("?q=") + QString(200 * 1024, u'x')
                            + QStringLiteral("&token=s3cret");
    const QList<std::pair<QString, QString>> navigations{
        {server_.pageURL(QStringLiteral("beta.test")), QStringLiteral("beta.test")},
        {server_.pageURL(QStringLiteral("xn--bcher-kva.test")), QStringLiteral("b\u00fccher.test")},
        {longURL, QStringLiteral("alpha.test")},
    };
    for (const auto &[url, domain] : navigations) {
        ASSERT_TRUE(XDesktop::spinUntil([&] { return server_.waitingPages() > 0; }, stepBound));
        QElapsedTimer sinceNavigation;
        sinceNavigation.start();
        ASSERT_EQ(server_.navigate(url), 1);
        ASSERT_TRUE(XDesktop::spinUntil([&] { return showsDomain(appSession_, domain); }, stepBound)) << domain.toStdString();
        navigationLatencies_ << sinceNavigation.elapsed();
    }
}

void BrowserTour::activateInTurn(const QList<std::pair<QString, QString>> &windowsAndDomains)
{
    for (const auto &[window, domain] : windowsAndDomains) {
        QElapsedTimer sinceActivation;
        sinceActivation.start();
        ASSERT_TRUE(desktop_.activate(window));
        ASSERT_TRUE(XDesktop::spinUntil([&] { return showsDomain(appSession_, domain); }, stepBound)) << domain.toStdString();
        activationLatencies_ << sinceActivation.elapsed();
    }
}

void BrowserTour::reportLatencies(const QString &browser, int pollMilliseconds) const
{
    QStringList figures;
    for (const qint64 ms : navigationLatencies_ + activationLatencies_)
        figures << QString::number(ms);
    std::cout << browser.toStdString() << ": navigation (" << navigationLatencies_.size() << ") and window activation ("
              << activationLatencies_.size() << ") to applied domain change, ms (poll interval " << pollMilliseconds
              << " ms): " << figures.join(QStringLiteral(", ")).toStdString() << std::endl;
    ::testing::Test::RecordProperty("navigationToDomainMs", figures.join(u',').toStdString());
}

} // namespace hourloom::test
