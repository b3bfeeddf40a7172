#include "AccountPages.h"

#include "AccountStore.h"
#include "ActivityStore.h"
#include "DayTimeline.h"
#include "HtmlText.h"
#include "PageSessionStore.h"
#include "PageShell.h"
#include "RandomToken.h"
#include "RequestFields.h"
#include "SignInThrottle.h"
#include "TimelineView.h"
#include "ui/UserPerceivedLength.h"

#include <QRegularExpression>
#include <QUrlQuery>

#include <sodium.h>

namespace hourloom::devserver {
namespace {

const std::string sessionCookie = "hourloom_session";
// Before signing in: the token the sign-in and sign-up forms must carry back.
const std::string formCookie = "hourloom_form";
constexpr qsizetype shortestPassword = 8;
constexpr qsizetype longestPassword = 1024;

QString cookie(const httplib::Request &request, const std::string &name)
{
    const QString header = QString::fromStdString(request.get_header_value("Cookie"));
    const QString prefix = QString::fromStdString(name) + u'=';
    for (const QString &part : header.split(u';')) {
        const QString trimmed = part.trimmed();
        if (trimmed.startsWith(prefix))
            return trimmed.mid(prefix.size());
    }
    return {};
}

std::string cookieHeader(const std::string &name, const QString &value, qint64 maxAge)
{
    return name + '=' + value.toStdString() + "; Path=/; Max-Age=" + std::to_string(maxAge) + "; HttpOnly; SameSite=Strict";
}

bool tokensMatch(const QString &sent, const QString &expected)
{
    const QByteArray a = sent.toUtf8();
    const QByteArray b = expected.toUtf8();
    return !b.isEmpty() && a.size() == b.size() && sodium_memcmp(a.constData(), b.constData(), size_t(a.size())) == 0;
}

// A form posted by a page of another site carries that site's origin (browsers send it with
// every form POST); one without the header is judged by its token alone.
bool fromThisSite(const httplib::Request &request)
{
    if (request.get_header_value("Sec-Fetch-Site") == "cross-site")
        return false;
    if (!request.has_header("Origin"))
        return true;
    return request.get_header_value("Origin") == "http://" + request.get_header_value("Host");
}

void send(httplib::Response &response, int status, const QString &html)
{
    response.status = status;
    response.set_header("Content-Security-Policy", "default-src 'none'; style-src 'self'; script-src 'self'; img-src 'self';"
                                                   " form-action 'self'; frame-ancestors 'none'; base-uri 'none'");
    response.set_header("X-Content-Type-Options", "nosniff");
    // Not "no-referrer": with it browsers send "Origin: null" with the pages' own forms.
    response.set_header("Referrer-Policy", "same-origin");
    response.set_header("Cache-Control", "no-store");
    response.set_content(html.toStdString(), "text/html; charset=utf-8");
}

void redirectHome(httplib::Response &response)
{
    response.status = 303;
    response.set_header("Location", "/");
}

void refuseForm(httplib::Response &response)
{
    send(response, 403, PageShell(QStringLiteral("Form expired")).html(QStringLiteral(
                            "<section class=\"card\"><h1>This form has expired</h1><p>It was sent from another page or is too old."
                            " <a href=\"/\">Open the page again</a> and send it from there.</p></section>\n")));
}

bool isPlausibleEmail(const QString &email)
{
    static const QRegularExpression shape(QStringLiteral("^[^\\s@]+@[^\\s@]+$"));
    return email.size() <= 254 && shape.match(email).hasMatch();
}

QString errorLine(const QString &error)
{
    return error.isEmpty() ? QString() : QStringLiteral("<p class=\"error\" role=\"alert\">") + escaped(error) + QStringLiteral("</p>");
}

QString noticeLine(const QString &notice)
{
    return notice.isEmpty() ? QString() : QStringLiteral("<p class=\"notice\" role=\"status\">") + escaped(notice) + QStringLiteral("</p>");
}

QString hiddenToken(const QString &token)
{
    return QStringLiteral("<input type=\"hidden\" name=\"form_token\" value=\"") + escaped(token) + QStringLiteral("\">");
}

// The zone named by the page's tz parameter; UTC when the service does not know it.
QTimeZone zoneNamed(const QString &id)
{
    static const QRegularExpression shape(QStringLiteral("^[A-Za-z0-9_+-]+(/[A-Za-z0-9_+-]+)*$"));
    if (id.size() > 64 || !shape.match(id).hasMatch() || !QTimeZone::isTimeZoneIdAvailable(id.toLatin1()))
        return QTimeZone::utc();
    return QTimeZone(id.toLatin1());
}

} // namespace

AccountPages::AccountPages(AccountStore &accounts, ActivityStore &activities, PageSessionStore &sessions, SignInThrottle &throttle)
    : accounts_(accounts)
    , activities_(activities)
    , sessions_(sessions)
    , throttle_(throttle)
{
}

void AccountPages::route(httplib::Server &server)
{
    server.Get("/", [this](const httplib::Request &request, httplib::Response &response) { home(request, response); });
    server.Post("/sign_in", [this](const httplib::Request &request, httplib::Response &response) { signIn(request, response); });
    server.Post("/sign_up", [this](const httplib::Request &request, httplib::Response &response) { signUp(request, response); });
    server.Post("/sign_out", [this](const httplib::Request &request, httplib::Response &response) { signOut(request, response); });
    server.Get("/guides/troubleshooting", [this](const httplib::Request &request, httplib::Response &response) { guide(request, response); });
    server.Get(R"(/assets/(account\.css|account\.js))", [](const httplib::Request &request, httplib::Response &response) {
        const std::string name = request.matches[1];
        response.set_header("X-Content-Type-Options", "nosniff");
        response.set_header("Cache-Control", "no-cache");
        response.set_content(PageShell::resource(QString::fromStdString(name)).toStdString(),
                             name.ends_with(".css") ? "text/css; charset=utf-8" : "text/javascript; charset=utf-8");
    });
}

std::optional<PageSessionStore::SignedIn> AccountPages::signedIn(const httplib::Request &request, httplib::Response &response)
{
    const QString cookieValue = cookie(request, sessionCookie);
    const auto session = sessions_.find(cookieValue);
    if (session)
        response.set_header("Set-Cookie", cookieHeader(sessionCookie, cookieValue, PageSessionStore::lifetimeSeconds));
    return session;
}

void AccountPages::home(const httplib::Request &request, httplib::Response &response)
{
    if (const auto session = signedIn(request, response))
        return showTimeline(request, response, session->userId, session->formToken);
    showSignedOut(request, response, 200);
}

void AccountPages::showSignedOut(const httplib::Request &request, httplib::Response &response, int status, const QString &signInError,
                                 const QString &signUpError, const QString &email, const QString &signInNotice)
{
    QString formToken = cookie(request, formCookie);
    if (formToken.isEmpty()) {
        formToken = randomToken();
        response.set_header("Set-Cookie", cookieHeader(formCookie, formToken, PageSessionStore::lifetimeSeconds));
    }
    const QString token = hiddenToken(formToken);
    const QString main = QStringLiteral("<div class=\"cards\">\n<section class=\"card\" id=\"sign-in\"><h1>Sign in</h1>\n"
                                        "<p class=\"hint\">See the day Hourloom has recorded for you.</p>")
        + noticeLine(signInNotice) + errorLine(signInError) + QStringLiteral("\n<form method=\"post\" action=\"/sign_in\">") + token
        + QStringLiteral("<label>E-mail <input type=\"email\" name=\"email\" autocomplete=\"username\" required value=\"") + escaped(email)
        + QStringLiteral("\"></label><label>Password <input type=\"password\" name=\"password\" autocomplete=\"current-password\" required>"
                         "</label><button type=\"submit\">Sign in</button></form>\n</section>\n"
                         "<section class=\"card\" id=\"sign-up\"><h2>No account? Sign up</h2>\n")
        + errorLine(signUpError) + QStringLiteral("\n<form method=\"post\" action=\"/sign_up\">") + token
        + QStringLiteral("<label>E-mail <input type=\"email\" name=\"email\" autocomplete=\"username\" required></label>"
                         "<label>Password (at least 8 characters) <input type=\"password\" name=\"password\" autocomplete=\"new-password\""
                         " minlength=\"8\" required></label><button type=\"submit\">Create account</button></form>\n"
                         "<p class=\"hint\">Then log in to the Hourloom agent in your tray with the same e-mail and password.</p>\n"
                         "</section>\n</div>\n");
    send(response, status, PageShell(QStringLiteral("Sign in")).html(main));
}

void AccountPages::showTimeline(const httplib::Request &request, httplib::Response &response, qint64 userId, const QString &formToken)
{
    const QString zoneId = QString::fromStdString(request.get_param_value("tz"));
    const QTimeZone zone = zoneNamed(zoneId);
    const QDate today = QDateTime::currentDateTimeUtc().toTimeZone(zone).date();
    QDate day = QDate::fromString(QString::fromStdString(request.get_param_value("day")), Qt::ISODate);
    if (!day.isValid())
        day = today;
    const QDateTime from = day.startOfDay(zone);
    const QDateTime to = day.addDays(1).startOfDay(zone);
    const DayTimeline timeline = DayTimeline::of(activities_.appSessionsAround(userId, from, to), day, zone);

    const QString account = QStringLiteral("<span class=\"who\">") + escaped(accounts_.email(userId).value_or(QString()))
        + QStringLiteral("</span><form method=\"post\" action=\"/sign_out\">") + hiddenToken(formToken)
        + QStringLiteral("<button type=\"submit\" id=\"sign-out\">Sign out</button></form>");
    const PageShell shell(QStringLiteral("Your day"), account, true);
    send(response, 200, shell.html(TimelineView(timeline, zoneId.isEmpty() ? QString::fromUtf8(zone.id()) : zoneId, today).html()));
}

bool AccountPages::isGenuineSignedOutForm(const httplib::Request &request, const RequestFields &fields) const
{
    return fromThisSite(request) && tokensMatch(fields.value(QStringLiteral("form_token")).value_or(QString()), cookie(request, formCookie));
}

void AccountPages::startSession(httplib::Response &response, qint64 userId)
{
    const auto opened = sessions_.open(userId);
    response.set_header("Set-Cookie", cookieHeader(sessionCookie, opened.cookieValue, PageSessionStore::lifetimeSeconds));
    redirectHome(response);
}

void AccountPages::signIn(const httplib::Request &request, httplib::Response &response)
{
    const auto fields = RequestFields::parse(request.get_header_value("Content-Type"), request.body);
    if (!fields || !isGenuineSignedOutForm(request, *fields))
        return refuseForm(response);
    const QString email = fields->value(QStringLiteral("email")).value_or(QString()).trimmed();
    const QString password = fields->value(QStringLiteral("password")).value_or(QString());
    const QString address = QString::fromStdString(request.remote_addr);
    if (const auto wait = throttle_.admit(address, email)) {
        response.set_header("Retry-After", std::to_string(*wait));
        return showSignedOut(request, response, 429,
                             QStringLiteral("Too many failed sign-ins. Try again in %1 seconds.").arg(*wait), {}, email);
    }
    const auto userId = accounts_.authenticate(email, password);
    if (!userId)
        return showSignedOut(request, response, 400, QStringLiteral("Wrong e-mail or password."), {}, email);
    throttle_.succeeded(address, email);
    startSession(response, *userId);
}

void AccountPages::signUp(const httplib::Request &request, httplib::Response &response)
{
    const auto fields = RequestFields::parse(request.get_header_value("Content-Type"), request.body);
    if (!fields || !isGenuineSignedOutForm(request, *fields))
        return refuseForm(response);
    const QString email = fields->value(QStringLiteral("email")).value_or(QString()).trimmed();
    const QString password = fields->value(QStringLiteral("password")).value_or(QString());
    if (!isPlausibleEmail(email))
        return showSignedOut(request, response, 400, {}, QStringLiteral("Enter an e-mail address such as ada@example.org."));
    // Counted as the agent's login form counts, so that every password taken here can log in there.
    if (userPerceivedLength(password) < shortestPassword)
        return showSignedOut(request, response, 400, {}, QStringLiteral("The password needs at least 8 characters."));
    if (password.size() > longestPassword)
        return showSignedOut(request, response, 400, {}, QStringLiteral("The password may have at most 1024 characters."));
    // Each sign-up costs a slow hash, taken or not: it counts like a failed sign-in.
    if (const auto wait = throttle_.admit(QString::fromStdString(request.remote_addr), email)) {
        response.set_header("Retry-After", std::to_string(*wait));
        return showSignedOut(request, response, 429, {}, QStringLiteral("Too many attempts. Try again in %1 seconds.").arg(*wait));
    }
    // Whether the address was taken stays unsaid: the answer, and its time (one hash either
    // way), are the same.
    accounts_.createUser(email, password);
    showSignedOut(request, response, 200, {}, {}, email,
                  QStringLiteral("Unless this e-mail already had an account, it has one now with that password: sign in with it."));
}

void AccountPages::signOut(const httplib::Request &request, httplib::Response &response)
{
    const QString cookieValue = cookie(request, sessionCookie);
    const auto session = sessions_.find(cookieValue);
    const auto fields = RequestFields::parse(request.get_header_value("Content-Type"), request.body);
    if (!session)
        return redirectHome(response);
    if (!fields || !fromThisSite(request) || !tokensMatch(fields->value(QStringLiteral("form_token")).value_or(QString()), session->formToken))
        return refuseForm(response);
    sessions_.close(cookieValue);
    response.set_header("Set-Cookie", cookieHeader(sessionCookie, QString(), 0));
    redirectHome(response);
}

void AccountPages::guide(const httplib::Request &request, httplib::Response &response)
{
    PageShell shell(QStringLiteral("Troubleshooting"));
    if (const auto session = signedIn(request, response))
        shell.account = QStringLiteral("<span class=\"who\">") + escaped(accounts_.email(session->userId).value_or(QString())) + QStringLiteral("</span>");
    send(response, 200, shell.html(QString::fromUtf8(PageShell::resource(QStringLiteral("troubleshooting.html")))));
}

} // namespace hourloom::devserver
