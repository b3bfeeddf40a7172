#include "FaultInjector.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace hourloom::devserver {
namespace {

void reject(httplib::Response &response, const char *reason)
{
    response.status = 400;
    response.set_content(QJsonDocument(QJsonObject{{QStringLiteral("error"), QString::fromLatin1(reason)}}).toJson(QJsonDocument::Compact).toStdString(),
                         "application/json");
}

std::optional<int> integerIn(const QJsonObject &object, const QString &key, int low, int high)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble() || value.toDouble() != value.toInt() || value.toInt() < low || value.toInt() > high)
        return std::nullopt;
    return value.toInt();
}

int port(const sockaddr_storage &address)
{
    return address.ss_family == AF_INET ? ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port) : -1;
}

// cpp-httplib does not hand handlers their socket. Find it by its two ports and shut it down,
// so the client sees the connection end without a byte of answer; the server closes it later.
void dropConnection(const httplib::Request &request)
{
    const QStringList descriptors = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString &name : descriptors) {
        const int fd = name.toInt();
        struct stat status {};
        if (fstat(fd, &status) != 0 || !S_ISSOCK(status.st_mode))
            continue;
        sockaddr_storage peer{}, local{};
        socklen_t peerLength = sizeof peer, localLength = sizeof local;
        if (getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &peerLength) != 0
            || getsockname(fd, reinterpret_cast<sockaddr *>(&local), &localLength) != 0)
            continue;
        if (port(peer) == request.remote_port && port(local) == request.local_port) {
            ::shutdown(fd, SHUT_RDWR);
            return;
        }
    }
}

} // namespace

void FaultInjector::configure(const httplib::Request &request, httplib::Response &response)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(request.body), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return reject(response, "the body must be a JSON object");
    const QJsonObject object = document.object();

    const QString endpoint = object.value(QStringLiteral("endpoint")).toString();
    if (!endpoint.startsWith(u'/') || endpoint.startsWith(u"/dev/"))
        return reject(response, "\"endpoint\" must be the path of a service endpoint");
    Fault fault;
    const auto count = integerIn(object, QStringLiteral("count"), 1, 1000);
    if (object.contains(QStringLiteral("count")) && !count)
        return reject(response, "\"count\" must be from 1 to 1000");
    fault.remaining = count.value_or(1);
    if (object.contains(QStringLiteral("status"))) {
        fault.status = integerIn(object, QStringLiteral("status"), 100, 599);
        if (!fault.status)
            return reject(response, "\"status\" must be an HTTP status from 100 to 599");
    }
    const auto delay = integerIn(object, QStringLiteral("delay_ms"), 0, 60000);
    if (object.contains(QStringLiteral("delay_ms")) && !delay)
        return reject(response, "\"delay_ms\" must be from 0 to 60000");
    fault.delay = std::chrono::milliseconds(delay.value_or(0));
    fault.close = object.value(QStringLiteral("close")).toBool(false);
    fault.body = object.value(QStringLiteral("body")).toString().toStdString();
    if (object.contains(QStringLiteral("content_type")))
        fault.contentType = object.value(QStringLiteral("content_type")).toString().toStdString();
    const QJsonObject headers = object.value(QStringLiteral("headers")).toObject();
    for (auto header = headers.begin(); header != headers.end(); ++header) {
        if (!header.value().isString())
            return reject(response, "\"headers\" must map field names to texts");
        fault.headers.emplace(header.key().toStdString(), header.value().toString().toStdString());
    }
    if (!fault.status && !fault.close && fault.delay.count() == 0)
        return reject(response, "give a \"status\", \"close\": true or a \"delay_ms\"");

    const std::lock_guard lock(mutex_);
    faults_.insert(endpoint, fault);
    response.status = 204;
}

void FaultInjector::clear(const httplib::Request &, httplib::Response &response)
{
    const std::lock_guard lock(mutex_);
    faults_.clear();
    response.status = 204;
}

std::optional<FaultInjector::Fault> FaultInjector::take(const std::string &path)
{
    const std::lock_guard lock(mutex_);
    const auto found = faults_.find(QString::fromStdString(path));
    if (found == faults_.end())
        return std::nullopt;
    const Fault fault = *found;
    if (--found->remaining == 0)
        faults_.erase(found);
    return fault;
}

void FaultInjector::wait(std::chrono::milliseconds delay)
{
    std::unique_lock lock(mutex_);
    stopped_.wait_for(lock, delay, [this] { return stopping_; });
}

void FaultInjector::stop()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
}

bool FaultInjector::intercept(const httplib::Request &request, httplib::Response &response)
{
    const auto fault = take(request.path);
    if (!fault)
        return false;
    wait(fault->delay);
    if (fault->close) {
        dropConnection(request);
        return true;
    }
    if (!fault->status)
        return false;
    response.status = *fault->status;
    for (const auto &[field, value] : fault->headers)
        response.set_header(field, value);
    response.set_content(fault->body, fault->contentType);
    return true;
}

} // namespace hourloom::devserver
