// The account pages over plain HTTP: what the panel's links open, the cookies and form tokens
// that keep other sites out, sign-up, the throttle shared with the token endpoint, and old
// password rows upgraded at sign-in.
#include "AccountStore.h"
#include "PageSessionStore.h"
#include "ServiceClient.h"
#include "UploadBodies.h"
#include "platform/services/sqlite/SqliteStatement.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace hourloom;
using namespace hourloom::test;

namespace {

// The value a Set-Cookie header gives the cookie, and its attributes.
struct SetCookie {
    std::string value;
    std::string header;
};

SetCookie setCookie(const httplib::Result &result, const std::string &name)
{
    const auto [first, last] = result->headers.equal_range("Set-Cookie");
    for (auto it = first; it != last; ++it) {
        const std::string &header = it->second;
        if (header.rfind(name + '=', 0) == 0)
            return {header.substr(name.size() + 1, header.find(';') - name.size() - 1), header};
    }
    return {};
}

std::string formToken(const std::string &html)
{
    static const QRegularExpression field(QStringLiteral("name=\"form_token\" value=\"([^\"]+)\""));
    return field.match(QString::fromStdString(html)).captured(1).toStdString();
}

std::string form(const QList<std::pair<QString, QString>> &fields)
{
    QByteArrayList pairs;
    for (const auto &[name, value] : fields)
        pairs << QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value);
    return pairs.join('&').toStdString();
}

bool contains(const httplib::Result &result, const char *text)
{
    return result && result->body.find(text) != std::string::npos;
}

class AccountPages_ : public ::testing::Test {
protected:
    explicit AccountPages_(const QStringList &arguments = {})
        : server(arguments)
        , client(server.port())
    {
    }

    httplib::Headers cookieHeader(const std::string &cookies) const { return {{"Cookie", cookies}}; }

    // A signed-out visit: the form cookie and the token its forms carry.
    std::pair<std::string, std::string> visit()
    {
        const auto page = client.Get("/");
        EXPECT_TRUE(page);
        if (!page)
            return {};
        return {"hourloom_form=" + setCookie(page, "hourloom_form").value, formToken(page->body)};
    }

    httplib::Result post(const char *path, const std::string &cookies, const std::string &body, const httplib::Headers &extra = {})
    {
        httplib::Headers headers = cookieHeader(cookies);
        headers.insert(extra.begin(), extra.end());
        return client.Post(path, headers, body, "application/x-www-form-urlencoded");
    }

    httplib::Result signIn(const QString &email, const QString &password)
    {
        const auto [cookies, token] = visit();
        return post("/sign_in", cookies, form({{"form_token", QString::fromStdString(token)}, {"email", email}, {"password", password}}));
    }

    DevServerProcess server;
    ServiceClient client;
};

class LegacyPasswords_ : public AccountPages_ {
protected:
    static inline const QString legacyEmail = QStringLiteral("old@hourloom.test");

    static QString legacyDatabase()
    {
        static QTemporaryDir folder;
        static int made = 0;
        const QString path = folder.filePath(QStringLiteral("legacy-%1.sqlite").arg(++made));
        sqlite3 *db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        SqliteStatement::execute(db, "CREATE TABLE users (id INTEGER PRIMARY KEY, email TEXT NOT NULL UNIQUE,"
                                     " salt BLOB NOT NULL, password_hash BLOB NOT NULL)");
        const QByteArray salt("sixteen byte salt");
        SqliteStatement(db, "INSERT INTO users (email, salt, password_hash) VALUES (?1, ?2, ?3)")
            .bind(1, legacyEmail)
            .bind(2, salt.left(16))
            .bind(3, QCryptographicHash::hash(salt.left(16) + "old password", QCryptographicHash::Sha256))
            .step();
        sqlite3_close(db);
        return path;
    }

    LegacyPasswords_()
        : AccountPages_({"--database", databasePath = legacyDatabase(), "--password-cost", "interactive"})
    {
    }

    // salt size and the stored hash of the user.
    std::pair<qsizetype, QByteArray> row(const QString &email)
    {
        sqlite3 *db = nullptr;
        sqlite3_open(databasePath.toUtf8().constData(), &db);
        SqliteStatement user(db, "SELECT salt, password_hash FROM users WHERE email = ?1");
        user.bind(1, email);
        std::pair<qsizetype, QByteArray> result{-1, {}};
        if (user.step())
            result = {user.blob(0).size(), user.blob(1)};
        sqlite3_close(db);
        return result;
    }

    inline static QString databasePath;
};

} // namespace

TEST_F(AccountPages_, ThePanelsLinksOpenTheSignInPageAndTheHelpPageAndSignInGivesAStrictHttpOnlySessionToFormsWithTokenAndOrigin)
{
    // The account and sign-up links open the root URL itself, the help link the guide.
    const auto home = client.Get("/");
    ASSERT_EQ(statusOf(home), 200);
    EXPECT_EQ(home->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(home->get_header_value("Content-Security-Policy").find("script-src 'self'"), std::string::npos);
    EXPECT_TRUE(contains(home, "action=\"/sign_in\"") && contains(home, "action=\"/sign_up\"")) << home->body;
    const SetCookie formCookie = setCookie(home, "hourloom_form");
    EXPECT_FALSE(formCookie.value.empty());
    EXPECT_NE(formCookie.header.find("; HttpOnly"), std::string::npos) << formCookie.header;
    EXPECT_NE(formCookie.header.find("; SameSite=Strict"), std::string::npos) << formCookie.header;
    EXPECT_EQ(formToken(home->body), formCookie.value);

    const auto guide = client.Get("/guides/troubleshooting");
    EXPECT_EQ(statusOf(guide), 200);
    for (const char *topic : {"hourglass", "secret-tool lookup service hourloomApiAccessToken", "--install-browser-bridge", "Wayland",
                              "$XDG_STATE_HOME/hourloom/"})
        EXPECT_TRUE(contains(guide, topic)) << topic;

    const auto style = client.Get("/assets/account.css");
    ASSERT_EQ(statusOf(style), 200);
    EXPECT_EQ(style->get_header_value("Content-Type"), "text/css; charset=utf-8");
    const auto script = client.Get("/assets/account.js");
    ASSERT_TRUE(script);
    EXPECT_EQ(script->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
    EXPECT_TRUE(contains(script, "Intl.DateTimeFormat"));
    EXPECT_EQ(client.Get("/assets/pages.qrc")->status, 404);

    // Signing in gives a strict, HTTP-only session; forms need their token and origin.
    const std::string cookies = "hourloom_form=" + formCookie.value;
    const std::string token = formCookie.value;
    const auto fields = [&](const std::string &formToken) {
        return form({{"form_token", QString::fromStdString(formToken)}, {"email", DevServerProcess::email}, {"password", DevServerProcess::password}});
    };
    EXPECT_EQ(post("/sign_in", cookies, form({{"email", DevServerProcess::email}, {"password", DevServerProcess::password}}))->status, 403);
    EXPECT_EQ(post("/sign_in", cookies, fields(token + "x"))->status, 403);
    EXPECT_EQ(post("/sign_in", "", fields(token))->status, 403) << "a token without its cookie";
    EXPECT_EQ(post("/sign_in", cookies, fields(token), {{"Origin", "http://evil.example"}})->status, 403);

    const auto wrong = post("/sign_in", cookies,
                            form({{"form_token", QString::fromStdString(token)}, {"email", DevServerProcess::email}, {"password", "wrong password"}}));
    ASSERT_EQ(statusOf(wrong), 400);
    EXPECT_TRUE(contains(wrong, "Wrong e-mail or password."));
    EXPECT_TRUE(setCookie(wrong, "hourloom_session").value.empty());

    const auto signedIn = post("/sign_in", cookies, fields(token), {{"Origin", "http://127.0.0.1:" + std::to_string(server.port())}});
    ASSERT_EQ(statusOf(signedIn), 303);
    EXPECT_EQ(signedIn->get_header_value("Location"), "/");
    const SetCookie session = setCookie(signedIn, "hourloom_session");
    ASSERT_FALSE(session.value.empty());
    EXPECT_NE(session.header.find("; HttpOnly"), std::string::npos) << session.header;
    EXPECT_NE(session.header.find("; SameSite=Strict"), std::string::npos) << session.header;
    // Any server on this machine may read it (browsers do not tell ports apart for cookies): it
    // lasts a working day from the last visit, each visit renewing it.
    EXPECT_NE(session.header.find("; Max-Age=36000;"), std::string::npos) << session.header;
    const std::string sessionCookie = "hourloom_session=" + session.value;

    const auto timeline = client.Get("/?day=2024-05-06&tz=Europe/Berlin", cookieHeader(sessionCookie));
    ASSERT_EQ(statusOf(timeline), 200);
    EXPECT_EQ(setCookie(timeline, "hourloom_session").header, session.header);
    EXPECT_TRUE(contains(timeline, "ada@hourloom.test"));
    EXPECT_TRUE(contains(timeline, "Nothing was tracked on this day."));
    // The timeline follows new uploads by itself; a signed-out page never reloads under a
    // half-typed password.
    EXPECT_TRUE(contains(timeline, "<meta http-equiv=\"refresh\" content=\"30\">"));
    EXPECT_FALSE(contains(client.Get("/"), "http-equiv=\"refresh\""));
    EXPECT_EQ(timeline->get_header_value("Cache-Control"), "no-store");
    const std::string signOutToken = formToken(timeline->body);
    ASSERT_FALSE(signOutToken.empty());
    EXPECT_NE(signOutToken, token);

    // Sign-out is a form like the others.
    EXPECT_EQ(post("/sign_out", sessionCookie, "")->status, 403);
    EXPECT_EQ(post("/sign_out", sessionCookie, "form_token=" + token)->status, 403);
    EXPECT_EQ(post("/sign_out", sessionCookie, "form_token=" + signOutToken, {{"Origin", "http://evil.example"}})->status, 403);
    EXPECT_TRUE(contains(client.Get("/", cookieHeader(sessionCookie)), "Sign out"));
    const auto signedOut = post("/sign_out", sessionCookie, "form_token=" + signOutToken);
    ASSERT_EQ(statusOf(signedOut), 303);
    EXPECT_EQ(setCookie(signedOut, "hourloom_session").header.find("hourloom_session=; Path=/; Max-Age=0"), 0u);
    // The old cookie no longer signs anyone in.
    const auto after = client.Get("/", cookieHeader(sessionCookie));
    EXPECT_TRUE(contains(after, "action=\"/sign_in\""));
    EXPECT_FALSE(contains(after, "Sign out"));
}

TEST(PageSessions, LastAWorkingDayFromTheirLastUse)
{
    QTemporaryDir folder;
    devserver::AccountStore accounts(folder.filePath("accounts.sqlite"), 60, devserver::PasswordHasher::Cost::Minimal);
    accounts.seedUser(DevServerProcess::email, DevServerProcess::password);
    qint64 now = 1'700'000'000;
    devserver::PageSessionStore sessions(accounts, [&] { return now; });
    const auto opened = sessions.open(*accounts.authenticate(DevServerProcess::email, DevServerProcess::password));
    // Three working days' visits, each just before the last would have run out.
    for (int visit = 0; visit < 3; ++visit) {
        now += devserver::PageSessionStore::lifetimeSeconds - 1;
        ASSERT_TRUE(sessions.find(opened.cookieValue)) << visit;
    }
    now += devserver::PageSessionStore::lifetimeSeconds;
    EXPECT_FALSE(sessions.find(opened.cookieValue));
}

TEST_F(AccountPages_, SignUpMakesAnAccountNeverSaysWhetherTheAddressWasTakenAndIsThrottled)
{
    const auto [cookies, token] = visit();
    const auto signUp = [&](const QString &email, const QString &password) {
        return post("/sign_up", cookies, form({{"form_token", QString::fromStdString(token)}, {"email", email}, {"password", password}}));
    };
    const auto tooShort = signUp("hedy@hourloom.test", "seven c");
    EXPECT_EQ(tooShort->status, 400);
    EXPECT_TRUE(contains(tooShort, "at least 8 characters"));
    // Eight UTF-16 units, four characters: the agent's form would never let it log in.
    EXPECT_EQ(signUp("hedy@hourloom.test", QStringLiteral("\U0001F600\U0001F600\U0001F600\U0001F600"))->status, 400);
    EXPECT_EQ(signUp("hedy at hourloom", "long enough")->status, 400);
    EXPECT_EQ(post("/sign_up", "", form({{"form_token", QString::fromStdString(token)}, {"email", "hedy@hourloom.test"}, {"password", "long enough"}}))
                  ->status,
              403);
    EXPECT_EQ(client.passwordGrant("hedy@hourloom.test", "long enough")->status, 400);

    const auto created = signUp("Hedy@Hourloom.test", QStringLiteral("8 chars\u00e9"));
    ASSERT_EQ(statusOf(created), 200);
    EXPECT_TRUE(contains(created, "sign in with it"));
    EXPECT_EQ(client.passwordGrant("hedy@hourloom.test", QStringLiteral("8 chars\u00e9"))->status, 200);

    // The same address again, in other letters and with another password: the same answer, and
    // the account keeps its password.
    const auto again = signUp("HEDY@hourloom.test", "another password");
    ASSERT_EQ(statusOf(again), created->status);
    EXPECT_EQ(QString::fromStdString(again->body).replace("HEDY@hourloom.test", "E").toStdString(),
              QString::fromStdString(created->body).replace("Hedy@Hourloom.test", "E").toStdString());
    EXPECT_EQ(client.passwordGrant("hedy@hourloom.test", "another password")->status, 400);

    // Every sign-up costs a slow hash: one address cannot send them on and on.
    int status = 0;
    for (int attempt = 0; attempt < 10 && status != 429; ++attempt)
        status = signUp(QStringLiteral("new-%1@hourloom.test").arg(attempt), "long enough")->status;
    EXPECT_EQ(status, 429);
}

TEST_F(AccountPages_, RepeatedFailedSignInsFromOneAddressAreSlowedDownOnTheTokenEndpointAndThePage)
{
    std::vector<int> statuses;
    httplib::Result last{nullptr, httplib::Error::Unknown};
    while (statuses.size() < 30 && (statuses.empty() || statuses.back() != 429)) {
        last = client.passwordGrant(DevServerProcess::email, "guess " + QString::number(statuses.size()));
        statuses.push_back(statusOf(last));
    }
    ASSERT_EQ(statuses.back(), 429) << "never slowed down";
    EXPECT_GT(statuses.size(), 5u);
    EXPECT_EQ(std::vector<int>(statuses.begin(), statuses.begin() + 5), std::vector<int>(5, 400));
    EXPECT_GE(std::stoi(last->get_header_value("Retry-After")), 1);
    EXPECT_EQ(json(last).value("error").toString(), "slow_down");

    // The page shares the count: it is held up as well.
    httplib::Result page{nullptr, httplib::Error::Unknown};
    for (int attempt = 0; attempt < 10 && statusOf(page) != 429; ++attempt)
        page = signIn(DevServerProcess::email, "guess again");
    ASSERT_EQ(statusOf(page), 429);
    EXPECT_TRUE(contains(page, "Too many failed sign-ins."));
    EXPECT_GE(std::stoi(page->get_header_value("Retry-After")), 1);
}

TEST_F(AccountPages_, ADayHoldsABoundedNumberOfSessionsAndItsPageStaysSmall)
{
    // As full as a day may be: 10,000 app sessions under 9,000 names, each with a web session.
    const auto uuid = [](int kind, int i) { return QStringLiteral("00000000-0000-4000-800%1-%2").arg(kind).arg(i, 12, 10, QLatin1Char('0')); };
    const auto at = [](int seconds) { return QDateTime(QDate(2024, 5, 6), QTime(0, 0)).addSecs(seconds).toString("yyyy-MM-dd HH:mm:ss"); };
    const auto session = [&](int i) {
        return App{uuid(1, i), at(4 * i), at(4 * i + 3), QStringLiteral("Application %1").arg(i % 9000),
                   {{uuid(2, i), at(4 * i), at(4 * i + 2), QStringLiteral("site-%1.example").arg(i % 9000)}}};
    };
    const QString token = client.accessToken();
    for (int part = 0; part < 10; ++part) {
        QList<App> apps;
        for (int i = part * 1000; i < (part + 1) * 1000; ++i)
            apps.append(session(i));
        ASSERT_EQ(statusOf(client.upload(token, uploadOf(0, apps))), 201);
    }
    const auto more = client.upload(token, uploadOf(0, {session(10000)}));
    EXPECT_EQ(statusOf(more), 422);
    EXPECT_TRUE(contains(more, "2024-05-06")) << more->body;
    EXPECT_EQ(client.upload(token, uploadOf(0, {session(9999)}))->status, 201) << "sent again, a session takes no more room";

    const auto signedIn = signIn(DevServerProcess::email, DevServerProcess::password);
    ASSERT_TRUE(signedIn);
    const auto page = client.Get("/?day=2024-05-06&tz=UTC", cookieHeader("hourloom_session=" + setCookie(signedIn, "hourloom_session").value));
    ASSERT_EQ(statusOf(page), 200);
    EXPECT_LT(page->body.size(), 1024u * 1024u);
    EXPECT_TRUE(contains(page, "more applications")) << page->body.substr(0, 2000);
}

TEST_F(LegacyPasswords_, OldSaltedSha256PasswordsTurnIntoArgon2idAtTheNextSuccessfulSignIn)
{
    EXPECT_EQ(client.passwordGrant(legacyEmail, "wrong password")->status, 400);
    EXPECT_EQ(row(legacyEmail).first, 16) << "a failed sign-in leaves the row alone";

    EXPECT_EQ(statusOf(client.passwordGrant(legacyEmail, "old password")), 200);
    const auto [saltSize, hash] = row(legacyEmail);
    EXPECT_EQ(saltSize, 0);
    EXPECT_TRUE(hash.startsWith("$argon2id$v=19$m=65536,t=2,p=1$")) << hash.toStdString();

    EXPECT_EQ(client.passwordGrant(legacyEmail, "old password")->status, 200);
    EXPECT_EQ(client.passwordGrant(legacyEmail, "wrong password")->status, 400);
    EXPECT_EQ(signIn(legacyEmail, "old password")->status, 303);
    EXPECT_EQ(row(legacyEmail).second, hash) << "an up-to-date row is not written again";
    // Users given on the command line are stored the new way from the start.
    EXPECT_TRUE(row(DevServerProcess::email).second.startsWith("$argon2id$v=19$m=65536,t=2,p=1$"));
}
