#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <optional>
#include <utility>
#include <variant>

namespace hourloom {

// What to send: the method, the address and the header fields. The time-out is the HTTP
// client's own (60 seconds), not the request's. Redirects are never followed: a 3xx is the
// answer, so a bearer token and a body only ever go to the address given here.
struct URLRequest {
    // Token, upload and crash-report answers are a few hundred bytes.
    static constexpr qint64 defaultMaximumAnswerSize = 64 * 1024;

    QUrl url;
    QByteArray httpMethod = "POST";
    QList<std::pair<QByteArray, QByteArray>> headerFields;
    // An answer body larger than this is read no further: the exchange fails as a transport
    // error, so a hostile or broken server cannot make the agent buffer without end.
    qint64 maximumAnswerSize = defaultMaximumAnswerSize;

    void setValue(const QByteArray &value, const QByteArray &field) { headerFields.append({field, value}); }
};

struct HTTPURLResponse {
    int statusCode = 0;
    QList<std::pair<QByteArray, QByteArray>> headerFields;

    // The first field of that name (compared case-insensitively), empty when there is none.
    QByteArray value(const QByteArray &field) const
    {
        for (const auto &[name, value] : headerFields) {
            if (name.compare(field, Qt::CaseInsensitive) == 0)
                return value;
        }
        return {};
    }

    // When Retry-After says to ask again (seconds from now, or an HTTP date); none when the
    // field is missing or unreadable.
    std::optional<QDateTime> retryAfter() const;
};

// A failure of the transport itself (no network, refused connection, time-out): no answer.
struct URLSessionError {
    QString localizedDescription;
};

// How an upload task completes, exactly once: the answer's body (none when the answer has
// no body), the response when an HTTP answer arrived, the transport error when none did.
struct URLSessionCompletion {
    std::optional<QByteArray> data;
    std::optional<HTTPURLResponse> response;
    std::optional<URLSessionError> error;
};

// The answer of the awaited upload: body and response, the body empty when there was none.
struct URLSessionResponse {
    QByteArray data;
    std::optional<HTTPURLResponse> response;
};

// The HTTP client. Both operations run on the main loop and never throw.
class URLSessionProtocol {
public:
    virtual ~URLSessionProtocol() = default;

    // Sends the body with the request and completes once with body, response and error.
    virtual QCoro::Task<URLSessionCompletion> uploadTask(URLRequest request, QByteArray body) = 0;

    // The same exchange, yielding the answer or the transport error.
    QCoro::Task<std::variant<URLSessionResponse, URLSessionError>> upload(URLRequest request, QByteArray body);
};

} // namespace hourloom
