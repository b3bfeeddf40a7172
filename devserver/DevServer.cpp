#include "DevServer.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace hourloom::devserver {
namespace {

void answerError(httplib::Response &response, int status, const char *error)
{
    response.status = status;
    response.set_content(QJsonDocument(QJsonObject{{QStringLiteral("error"), QString::fromLatin1(error)}}).toJson(QJsonDocument::Compact).toStdString(),
                         "application/json");
}

} // namespace

DevServer::DevServer(AccountStore &store, bool faultInjection)
    : tokenEndpoint_(store, signInThrottle_)
    , activityStore_(store)
    , activityEndpoint_(store, activityStore_)
    , envelopeStore_(store)
    , envelopeEndpoint_(envelopeStore_)
    , pageSessions_(store)
    , accountPages_(store, activityStore_, pageSessions_, signInThrottle_)
{
    server_.set_payload_max_length(RequestGuard::maximumBodySize);
    // Each read and write of a request waits at most this long; the guard bounds a whole body.
    server_.set_read_timeout(std::chrono::seconds(5));
    server_.set_write_timeout(std::chrono::seconds(5));
    server_.new_task_queue = [] { return new httplib::ThreadPool(workerCount); };
    // Answers go out at once rather than waiting on the client's delayed acknowledgement (40 ms
    // per request on loopback), and an idle kept-alive connection never holds up a shutdown.
    server_.set_tcp_nodelay(true);
    server_.set_keep_alive_timeout(1);
    // The library's default also sets SO_REUSEPORT, with which a second service started on the
    // same port shares it silently and the two answer requests in turn: a port in use must
    // make the start fail instead.
    server_.set_socket_options([](socket_t socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    route(faultInjection);
}

void DevServer::post(const std::string &pattern, httplib::Server::Handler handler)
{
    server_.Post(pattern, guard_.readingBody("POST", pattern, std::move(handler)));
}

void DevServer::del(const std::string &pattern, httplib::Server::Handler handler)
{
    server_.Delete(pattern, guard_.readingBody("DELETE", pattern, std::move(handler)));
}

void DevServer::route(bool faultInjection)
{
    post("/oauth/token", [this](const httplib::Request &request, httplib::Response &response) {
        tokenEndpoint_.handle(request, response);
    });
    post("/api/v1/user_activities", [this](const httplib::Request &request, httplib::Response &response) {
        activityEndpoint_.handle(request, response);
    });
    post(R"(/api/([^/]+)/envelope/)", [this](const httplib::Request &request, httplib::Response &response) {
        envelopeEndpoint_.handle(request, response);
    });
    server_.Get("/appcast.xml", [this](const httplib::Request &request, httplib::Response &response) {
        appcastEndpoint_.handle(request, response);
    });
    accountPages_.route(server_);

    if (faultInjection) {
        post("/dev/faults", [this](const httplib::Request &request, httplib::Response &response) {
            faultInjector_.configure(request, response);
        });
        del("/dev/faults", [this](const httplib::Request &request, httplib::Response &response) {
            faultInjector_.clear(request, response);
        });
        server_.Get("/dev/activities", [this](const httplib::Request &request, httplib::Response &response) {
            activityEndpoint_.readOut(request, response);
        });
        server_.Get("/dev/envelopes", [this](const httplib::Request &request, httplib::Response &response) {
            envelopeEndpoint_.readOut(request, response);
        });
    } else {
        const auto refuse = [](const httplib::Request &, httplib::Response &response) {
            answerError(response, 403, "fault injection is not enabled (start with --enable-fault-injection)");
        };
        post("/dev/faults", refuse);
        del("/dev/faults", refuse);
        server_.Get("/dev/activities", refuse);
        server_.Get("/dev/envelopes", refuse);
    }
    server_.set_pre_routing_handler([this, faultInjection](const httplib::Request &request, httplib::Response &response) {
        const bool handled = guard_.refuses(request, response) || (faultInjection && faultInjector_.intercept(request, response));
        return handled ? httplib::Server::HandlerResponse::Handled : httplib::Server::HandlerResponse::Unhandled;
    });

    // Unknown paths and bodies over the limit get a JSON error; a fault that drops the
    // connection leaves no status to report.
    server_.set_error_handler([](const httplib::Request &, httplib::Response &response) {
        if (response.status == 404)
            answerError(response, 404, "not_found");
        else if (response.status == 413)
            answerError(response, 413, "request_too_large");
    });
    server_.set_exception_handler([](const httplib::Request &request, httplib::Response &response, std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const HashingBusy &) {
            response.set_header("Retry-After", "1");
            return answerError(response, 503, "temporarily_unavailable");
        } catch (const std::exception &exception) {
            std::printf("hourloom-devserver: %s %s failed: %s\n", request.method.c_str(), request.path.c_str(), exception.what());
        } catch (...) {
            std::printf("hourloom-devserver: %s %s failed\n", request.method.c_str(), request.path.c_str());
        }
        std::fflush(stdout);
        answerError(response, 500, "server_error");
    });
}

int DevServer::bind(int port)
{
    if (port == 0)
        return server_.bind_to_any_port("127.0.0.1");
    return server_.bind_to_port("127.0.0.1", port) ? port : -1;
}

bool DevServer::run()
{
    return server_.listen_after_bind();
}

void DevServer::stop()
{
    faultInjector_.stop();
    server_.stop();
}

} // namespace hourloom::devserver
