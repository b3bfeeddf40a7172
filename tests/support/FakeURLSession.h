#pragma once

#include "core/ports/URLSessionProtocol.h"

#include "support/Gate.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace hourloom::test {

// The HTTP client in memory, in front of the account service as the test scripts it. Each
// request is kept and takes the next answer queued for its path; with none queued, a grant at
// the token endpoint gets a fresh pair of tokens and anything else is accepted with 201.
// Answers wait while the test holds the gate closed.
class FakeURLSession final : public URLSessionProtocol {
public:
    static inline const QString tokenPath = QStringLiteral("/oauth/token");
    static inline const QString activityPath = QStringLiteral("/api/v1/user_activities");

    struct Answer {
        int status = 200;
        std::optional<QByteArray> body = QByteArray("{}");
        // No HTTP answer at all, as when the connection is refused or drops.
        bool transportFailure = false;
        QList<std::pair<QByteArray, QByteArray>> headers{};
    };
    struct Exchange {
        URLRequest request;
        QByteArray body;
        Answer answer;

        QString path() const { return request.url.path(); }
        QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
        QByteArray header(const QByteArray &field) const
        {
            for (const auto &[name, value] : request.headerFields)
                if (name == field)
                    return value;
            return {};
        }
    };

    // The next `times` requests to the path get this answer.
    void queue(const QString &path, const Answer &answer, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            queued_[path].append(answer);
    }
    void unqueue(const QString &path) { queued_.remove(path); }
    qsizetype sent(const QString &path) const
    {
        return std::count_if(exchanges.begin(), exchanges.end(), [&path](const Exchange &exchange) { return exchange.path() == path; });
    }
    const Exchange &last(const QString &path) const
    {
        return *std::find_if(exchanges.rbegin(), exchanges.rend(), [&path](const Exchange &exchange) { return exchange.path() == path; });
    }

    QCoro::Task<URLSessionCompletion> uploadTask(URLRequest request, QByteArray body) override
    {
        const QString path = request.url.path();
        const Answer answer = queued_.value(path).isEmpty() ? standingAnswer(path) : queued_[path].takeFirst();
        exchanges.append({std::move(request), std::move(body), answer});
        co_await gate.pass();
        if (answer.transportFailure)
            co_return URLSessionCompletion{std::nullopt, std::nullopt, URLSessionError{QStringLiteral("Connection refused")}};
        co_return URLSessionCompletion{answer.body, HTTPURLResponse{answer.status, answer.headers}, std::nullopt};
    }

    QList<Exchange> exchanges;
    Gate gate;

private:
    Answer standingAnswer(const QString &path)
    {
        if (path != tokenPath)
            return {201};
        ++grants_;
        return {200, QStringLiteral(R"({"access_token":"access-%1","refresh_token":"refresh-%1","created_at":1700000000,"expires_in":7200})")
                         .arg(grants_)
                         .toUtf8()};
    }

    QHash<QString, QList<Answer>> queued_;
    int grants_ = 0;
};

} // namespace hourloom::test
