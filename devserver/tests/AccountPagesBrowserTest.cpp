// The account pages as a user meets them: Debian's headless Chromium (in Europe/Berlin)
// against the local account service, its day seeded through the real token and upload API.
#include "ChromeDriver.h"
#include "ServiceClient.h"
#include "UploadBodies.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace hourloom;
using namespace hourloom::test;

namespace {

const QSize desktopWindow(1280, 760);
const QSize phoneWindow(390, 844);

// A working day in Berlin (summer time, +2), as the agent would have uploaded it.
QList<App> seededDay()
{
    return {
        {"0a7c6c36-2d1e-4b1c-9c1a-000000000001", "2024-05-06 09:00:00", "2024-05-06 09:40:00", "Firefox",
         {{"0a7c6c36-2d1e-4b1c-9c1a-00000000000a", "2024-05-06 09:00:00", "2024-05-06 09:25:00", "github.com"},
          {"0a7c6c36-2d1e-4b1c-9c1a-00000000000b", "2024-05-06 09:25:00", "2024-05-06 09:40:00", "doc.qt.io"}}},
        {"0a7c6c36-2d1e-4b1c-9c1a-000000000002", "2024-05-06 09:40:00", "2024-05-06 11:00:00", "Terminal", {}},
        {"0a7c6c36-2d1e-4b1c-9c1a-000000000003", "2024-05-06 11:00:00", "2024-05-06 11:30:00", "Firefox",
         {{"0a7c6c36-2d1e-4b1c-9c1a-00000000000c", "2024-05-06 11:00:00", "2024-05-06 11:10:00", "github.com"},
          {"0a7c6c36-2d1e-4b1c-9c1a-00000000000d", "2024-05-06 11:10:00", "2024-05-06 11:30:00", "lwn.net"}}},
        {"0a7c6c36-2d1e-4b1c-9c1a-000000000004", "2024-05-06 11:30:00", "2024-05-06 13:00:00", "Visual Studio Code", {}},
        {"0a7c6c36-2d1e-4b1c-9c1a-000000000005", "2024-05-06 14:00:00", "2024-05-06 14:45:00", "Firefox",
         {{"0a7c6c36-2d1e-4b1c-9c1a-00000000000e", "2024-05-06 14:00:00", "2024-05-06 14:45:00", "doc.qt.io"}}},
        {"0a7c6c36-2d1e-4b1c-9c1a-000000000006", "2024-05-06 14:45:00", "2024-05-06 16:00:00", "Visual Studio Code", {}},
        {"0a7c6c36-2d1e-4b1c-9c1a-000000000007", "2024-05-06 16:00:00", "2024-05-06 16:30:00", "Terminal", {}},
        // Over midnight: half an hour on the 6th, three quarters on the 7th.
        {"0a7c6c36-2d1e-4b1c-9c1a-000000000008", "2024-05-06 23:30:00", "2024-05-07 00:45:00", "Text Editor", {}},
    };
}

// Sent from a machine on UTC: 08:15 to 08:45 in Berlin.
const App mailInUtc{"0a7c6c36-2d1e-4b1c-9c1a-000000000009", "2024-05-06 06:15:00", "2024-05-06 06:45:00", "Mail", {}};

// The timeline's rows as shown: "app|name|total|bar titles".
const QString rowsScript = QStringLiteral(
    "return [...document.querySelectorAll('table.timeline tbody tr')].map(row => [row.className,"
    " row.querySelector('th').textContent, row.querySelector('td.total').textContent,"
    " [...row.querySelectorAll('rect.bar title')].map(title => title.textContent).join(', ')].join('|'));");

QStringList strings(const QJsonValue &value)
{
    QStringList result;
    for (const QJsonValue &item : value.toArray())
        result << item.toString();
    return result;
}

class AccountPagesInBrowser : public ::testing::Test {
protected:
    AccountPagesInBrowser()
        : api(server.port())
        , browser(QStringLiteral("Europe/Berlin"), desktopWindow)
    {
    }

    QString page(const QString &path) const { return server.url(path).toString(); }

    void upload(int timezoneOffset, const QList<App> &apps)
    {
        ASSERT_EQ(statusOf(api.upload(api.accessToken(), uploadOf(timezoneOffset, apps))), 201);
    }

    // Fills in and sends one of the signed-out page's forms ("#sign-in" or "#sign-up").
    void sendForm(const QString &form, const QString &email, const QString &password)
    {
        browser.open(page("/"));
        ASSERT_TRUE(browser.waitFor("return document.querySelector('" + form + " form') !== null"));
        browser.type(form + " input[name=email]", email);
        browser.type(form + " input[name=password]", password);
        browser.click(form + " button[type=submit]");
    }

    // Waits for the timeline of a day in the browser's zone.
    bool showsDay(const QString &isoDay)
    {
        return browser.waitFor("return new URLSearchParams(location.search).get('tz') === 'Europe/Berlin'"
                               " && document.getElementById('day')?.value === '" + isoDay + "'");
    }

    QStringList rows() { return strings(browser.run(rowsScript)); }
    QString text(const QString &selector) { return browser.run("return document.querySelector('" + selector + "')?.textContent ?? null").toString(); }

    void saveScreenshot(const QString &name)
    {
        const QString folder = qEnvironmentVariable("HOURLOOM_SCREENSHOT_DIR");
        if (folder.isEmpty())
            return;
        QDir().mkpath(folder);
        ASSERT_TRUE(writeFile(folder + u'/' + name, browser.screenshotPNG()));
    }

    DevServerProcess server;
    ServiceClient api;
    ChromeDriver browser;
};

} // namespace

TEST_F(AccountPagesInBrowser, SignInShowsTheDayAsATimelineTheDayPickerMovesAndSignOutEndsIt)
{
    ASSERT_TRUE(browser.isReady());
    upload(7200, seededDay());
    upload(0, {mailInUtc});

    sendForm("#sign-in", DevServerProcess::email, DevServerProcess::password);
    // Today in the browser's zone by default (read before and after, in case midnight passes).
    const QString before = QDateTime::currentDateTimeUtc().toTimeZone(QTimeZone("Europe/Berlin")).date().toString(Qt::ISODate);
    ASSERT_TRUE(browser.waitFor("return new URLSearchParams(location.search).get('tz') === 'Europe/Berlin'"
                                " && document.getElementById('day') !== null"))
        << browser.run("return document.body.innerText").toString().toStdString();
    const QString after = QDateTime::currentDateTimeUtc().toTimeZone(QTimeZone("Europe/Berlin")).date().toString(Qt::ISODate);
    const QString today = browser.run("return document.getElementById('day').value").toString();
    EXPECT_TRUE(today == before || today == after) << today.toStdString();
    EXPECT_TRUE(text("#day-heading").startsWith("Today, "));
    EXPECT_EQ(text(".who"), DevServerProcess::email);

    // (The session cookie's attributes, which keep it out of the page's reach and from other
    // sites: AccountPages_ over plain HTTP.)
    // The day picker: choosing a date shows it at once.
    browser.run("const day = document.getElementById('day'); day.value = '2024-05-06'; day.dispatchEvent(new Event('change'));");
    ASSERT_TRUE(showsDay("2024-05-06")) << browser.run("return location.href").toString().toStdString();
    EXPECT_EQ(text("#day-heading"), "Monday 6 May 2024");
    EXPECT_EQ(text("#day-total"), "7 h 30 min");
    EXPECT_EQ(rows(), (QStringList{
                          "app|Visual Studio Code|2 h 45 min|Visual Studio Code 11:30–13:00, Visual Studio Code 14:45–16:00",
                          "app|Firefox|1 h 55 min|Firefox 09:00–09:40, Firefox 11:00–11:30, Firefox 14:00–14:45",
                          "domain|doc.qt.io|1 h 00 min|Firefox · doc.qt.io 09:25–09:40, Firefox · doc.qt.io 14:00–14:45",
                          "domain|github.com|35 min|Firefox · github.com 09:00–09:25, Firefox · github.com 11:00–11:10",
                          "domain|lwn.net|20 min|Firefox · lwn.net 11:10–11:30",
                          "app|Terminal|1 h 50 min|Terminal 09:40–11:00, Terminal 16:00–16:30",
                          "app|Mail|30 min|Mail 08:15–08:45",
                          "app|Text Editor|30 min|Text Editor 23:30–00:45",
                      }));
    // Bars sit at their hours: Mail from 08:15 (8.25 / 24 of the row).
    EXPECT_EQ(browser.run("return [...document.querySelectorAll('tr.app')].find(row => row.querySelector('th').textContent === 'Mail')"
                          ".querySelector('rect.bar').getAttribute('x')")
                  .toString()
                  .toStdString(),
              "34.375%");
    // The hours above the rows line up with the rows' bars.
    const QString axisAligned = QStringLiteral(
        "const axis = document.querySelector('svg.axis').getBoundingClientRect();"
        " const bars = document.querySelector('svg.bars').getBoundingClientRect();"
        " return Math.abs(axis.left - bars.left) < 1 && Math.abs(axis.width - bars.width) < 1");
    EXPECT_TRUE(browser.run(axisAligned).toBool());
    saveScreenshot("account-timeline.png");

    // On a phone the bars get the whole width under the name and the total, nothing needs
    // scrolling sideways, and the hours still line up.
    browser.resize(phoneWindow);
    EXPECT_TRUE(browser.waitFor("const track = document.querySelector('tr.app td.track').getBoundingClientRect();"
                                " const name = document.querySelector('tr.app th').getBoundingClientRect();"
                                " return track.width > 0.8 * document.documentElement.clientWidth && track.top >= name.bottom"
                                " && document.documentElement.scrollWidth <= document.documentElement.clientWidth;"));
    EXPECT_TRUE(browser.run(axisAligned).toBool());
    saveScreenshot("account-timeline-phone.png");
    browser.resize(desktopWindow);

    browser.click("#previous-day");
    ASSERT_TRUE(showsDay("2024-05-05"));
    EXPECT_EQ(text(".empty"), "Nothing was tracked on this day.");
    EXPECT_EQ(text("#day-total"), "0 s");
    browser.click("#next-day");
    ASSERT_TRUE(showsDay("2024-05-06"));
    browser.click("#next-day");
    ASSERT_TRUE(showsDay("2024-05-07"));
    EXPECT_EQ(rows(), QStringList{"app|Text Editor|45 min|Text Editor 23:30–00:45"});
    browser.click("#today");
    ASSERT_TRUE(showsDay(today) || showsDay(after));

    browser.click("#sign-out");
    ASSERT_TRUE(browser.waitFor("return document.querySelector('#sign-in form') !== null"));
    browser.open(page("/?day=2024-05-06&tz=Europe/Berlin"));
    ASSERT_TRUE(browser.waitFor("return document.querySelector('#sign-in form') !== null"));
    EXPECT_TRUE(browser.run("return document.querySelector('table.timeline')").isNull());
}

TEST_F(AccountPagesInBrowser, SignUpMakesAnAccountTheAgentCanLogInWithAndNamesFromUploadsAreShownAsTextNeverRunAsMarkup)
{
    ASSERT_TRUE(browser.isReady());
    sendForm("#sign-in", DevServerProcess::email, "not the password");
    ASSERT_TRUE(browser.waitFor("return document.querySelector('#sign-in .error')?.textContent === 'Wrong e-mail or password.'"));
    // What was typed stays in the e-mail field.
    EXPECT_EQ(browser.run("return document.querySelector('#sign-in input[name=email]').value").toString(), DevServerProcess::email);

    // Signing up says the same whether or not the address was taken, and leaves it in the
    // sign-in form.
    const QString email = QStringLiteral("hedy@hourloom.test");
    const QString notice = QStringLiteral("return document.querySelector('#sign-in .notice')?.textContent.includes('sign in with it')"
                                          " && document.querySelector('#sign-in input[name=email]').value === '%1'");
    sendForm("#sign-up", email, "hopper-1906");
    ASSERT_TRUE(browser.waitFor(notice.arg(email)));
    const QString token = api.accessToken(email, "hopper-1906");
    EXPECT_FALSE(token.isEmpty());
    sendForm("#sign-up", email, "another-password");
    ASSERT_TRUE(browser.waitFor(notice.arg(email)));

    // The new account's names and domains, written to run as markup, are shown as text.
    const QString app = QStringLiteral("<script>window.hacked = 'app'</script>\"Quoted\" 'App' <b>bold</b>");
    const QString domain = QStringLiteral("\"><img src=x onerror=\"window.hacked='domain'\">'.example");
    ASSERT_EQ(statusOf(api.upload(token, uploadOf(7200, {{"0a7c6c36-2d1e-4b1c-9c1a-0000000000f1", "2024-05-08 10:00:00", "2024-05-08 10:30:00", app,
                                                         {{"0a7c6c36-2d1e-4b1c-9c1a-0000000000f2", "2024-05-08 10:00:00", "2024-05-08 10:20:00", domain}}}}))),
              201);
    sendForm("#sign-in", email, "hopper-1906");
    ASSERT_TRUE(browser.waitFor("return document.querySelector('.who')?.textContent === '" + email + "'"));
    ASSERT_TRUE(browser.waitFor("return document.querySelector('.empty') !== null"));
    browser.open(page("/?day=2024-05-08&tz=Europe/Berlin"));
    ASSERT_TRUE(showsDay("2024-05-08"));
    EXPECT_EQ(rows(), (QStringList{"app|" + app + "|30 min|" + app + " 10:00–10:30",
                                   "domain|" + domain + "|20 min|" + app + " · " + domain + " 10:00–10:20"}));
    EXPECT_EQ(browser.run("return document.querySelectorAll('main script, main img, main b').length").toInt(-1), 0);
    EXPECT_TRUE(browser.run("return window.hacked ?? null").isNull());
}
