#include "RequestGuard.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <set>

namespace hourloom::devserver {
namespace {

void refuse(httplib::Response &response, int status, const char *error)
{
    response.status = status;
    // The request may still have bytes on the way that must not be read as the next one.
    response.set_header("Connection", "close");
    response.set_content(QJsonDocument(QJsonObject{{QStringLiteral("error"), QString::fromLatin1(error)}}).toJson(QJsonDocument::Compact).toStdString(),
                         "application/json");
}

bool startsWithCaseInsensitive(const std::string &text, const char *prefix)
{
    return QString::fromStdString(text).startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

// Whether the library would read the body without a declared length: chunked, or up to the end
// of the connection, however long that takes.
bool hasUnboundedBody(const httplib::Request &request)
{
    static const std::set<std::string> methodsWithBodies{"POST", "PUT", "PATCH", "DELETE", "PRI"};
    const bool chunked = QString::fromStdString(request.get_header_value("Transfer-Encoding")).contains(QLatin1String("chunked"), Qt::CaseInsensitive);
    return chunked || (methodsWithBodies.count(request.method) != 0 && !request.has_header("Content-Length"));
}

} // namespace

bool RequestGuard::isLoopbackHost(const std::string &host)
{
    // The name, then nothing or a port.
    static const std::regex loopback(R"((127\.0\.0\.1|localhost|\[::1\])(:[0-9]{1,5})?)", std::regex::icase);
    return std::regex_match(host, loopback);
}

httplib::Server::HandlerWithContentReader RequestGuard::readingBody(const std::string &method, const std::string &pattern,
                                                                    httplib::Server::Handler handler)
{
    bodyRoutes_.push_back({method, std::regex(pattern)});
    return [handler = std::move(handler)](const httplib::Request &request, httplib::Response &response, const httplib::ContentReader &reader) {
        const auto deadline = std::chrono::steady_clock::now() + bodyTimeLimit;
        std::string body;
        bool tooLarge = false;
        bool tooSlow = false;
        const bool complete = reader([&](const char *data, size_t length) {
            tooLarge = length > maximumBodySize - body.size();
            tooSlow = std::chrono::steady_clock::now() > deadline;
            if (tooLarge || tooSlow)
                return false;
            body.append(data, length);
            return true;
        });
        // The library answers 413 itself when the declared length is over the limit.
        if (tooLarge || response.status == 413)
            return refuse(response, 413, "request_too_large");
        if (tooSlow)
            return refuse(response, 408, "request_timeout");
        if (!complete)
            return refuse(response, 400, "bad_request");
        httplib::Request withBody = request;
        withBody.body = std::move(body);
        handler(withBody, response);
    };
}

bool RequestGuard::readsBody(const httplib::Request &request) const
{
    for (const BodyRoute &route : bodyRoutes_) {
        if (route.method == request.method && std::regex_match(request.path, route.pattern))
            return true;
    }
    return false;
}

bool RequestGuard::refuses(const httplib::Request &request, httplib::Response &response) const
{
    if (!isLoopbackHost(request.get_header_value("Host"))) {
        refuse(response, 421, "misdirected_request");
        return true;
    }
    if (hasUnboundedBody(request) && !readsBody(request)) {
        refuse(response, 411, "length_required");
        return true;
    }
    if (request.method == "POST" && request.path == "/dev/faults"
        && !startsWithCaseInsensitive(request.get_header_value("Content-Type"), "application/json")) {
        refuse(response, 415, "unsupported_media_type");
        return true;
    }
    return false;
}

} // namespace hourloom::devserver
