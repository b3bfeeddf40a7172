// libsecret first: GLib has struct members named "signals", which Qt defines as a macro.
#include <libsecret/secret.h>

#include "KeychainHelper.h"

#include <QFutureWatcher>
#include <QHash>
#include <QPromise>

#include <qcoro/qcorosignal.h>

#include <cstdio>
#include <memory>
#include <thread>

namespace hourloom {
namespace {

// secret-tool's schema name, which libsecret stores in the item's "xdg:schema" attribute, so
// the agent's items look like scripted ones. Matching ignores the name (SECRET_SCHEMA_DONT_MATCH_NAME):
// items are found by service and account alone, whoever stored them.
const SecretSchema schema = {
    "org.freedesktop.Secret.Generic",
    SECRET_SCHEMA_DONT_MATCH_NAME,
    {
        {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
        {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
        {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
    },
    0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};

// What one libsecret call found out, handed from its thread to the main loop.
struct Outcome {
    bool succeeded = false;
    // No session bus, or no Secret Service on it.
    bool serviceMissing = false;
    std::optional<QByteArray> data;
};

struct Item {
    std::string service;
    std::string account;
};

Outcome failure(GError *error)
{
    Outcome outcome;
    // With a display but no session bus, GLib tries to start one with dbus-launch: when that
    // fails the error is a spawn error, and there is still no service.
    outcome.serviceMissing = error->domain == G_IO_ERROR || error->domain == G_DBUS_ERROR || error->domain == G_SPAWN_ERROR;
    g_error_free(error);
    return outcome;
}

GHashTable *attributes(const Item &item)
{
    return secret_attributes_build(&schema, "service", item.service.c_str(), "account", item.account.c_str(), nullptr);
}

// Replaces the data of the item in place when one exists: creating an item replaces only one
// whose attributes match exactly, and an item that secret-tool stored carries more of them.
// Further matches (left by other tools) are removed, so that one item remains.
Outcome store(const Item &item, const QByteArray &data)
{
    GHashTable *query = attributes(item);
    SecretValue *value = secret_value_new(data.constData(), data.size(), "text/plain");
    GError *error = nullptr;
    GList *existing = secret_service_search_sync(nullptr, &schema, query, SECRET_SEARCH_ALL, nullptr, &error);
    if (!error && !existing) {
        const std::string label = "Hourloom " + item.service + " (" + item.account + ")";
        secret_password_storev_binary_sync(&schema, query, SECRET_COLLECTION_DEFAULT, label.c_str(), value, nullptr, &error);
    }
    for (GList *found = existing; found && !error; found = found->next) {
        auto *secretItem = static_cast<SecretItem *>(found->data);
        if (found == existing)
            secret_item_set_secret_sync(secretItem, value, nullptr, &error);
        else
            secret_item_delete_sync(secretItem, nullptr, &error);
    }
    g_list_free_full(existing, g_object_unref);
    secret_value_unref(value);
    g_hash_table_unref(query);
    return error ? failure(error) : Outcome{true, false, std::nullopt};
}

Outcome lookup(const Item &item)
{
    GHashTable *query = attributes(item);
    GError *error = nullptr;
    SecretValue *value = secret_password_lookupv_binary_sync(&schema, query, nullptr, &error);
    g_hash_table_unref(query);
    if (error)
        return failure(error);
    Outcome outcome{true, false, std::nullopt};
    if (value) {
        gsize length = 0;
        const gchar *bytes = secret_value_get(value, &length);
        outcome.data = QByteArray(bytes, qsizetype(length));
        secret_value_unref(value);
    }
    return outcome;
}

Outcome clear(const Item &item)
{
    GHashTable *query = attributes(item);
    GError *error = nullptr;
    secret_password_clearv_sync(&schema, query, nullptr, &error);
    g_hash_table_unref(query);
    return error ? failure(error) : Outcome{true, false, std::nullopt};
}

// Runs the call on a detached thread and waits on the main loop until it reports or the
// deadline passes. A call stuck on a prompt keeps only its own thread, never the process's exit.
QCoro::Task<std::optional<Outcome>> runWithDeadline(std::function<Outcome()> call, std::chrono::milliseconds deadline)
{
    auto promise = std::make_shared<QPromise<Outcome>>();
    QFutureWatcher<Outcome> watcher;
    watcher.setFuture(promise->future());
    promise->start();
    std::thread([promise, call = std::move(call)] {
        promise->addResult(call());
        promise->finish();
    }).detach();
    if (!watcher.isFinished() && !co_await qCoro(&watcher, &QFutureWatcherBase::finished, deadline))
        co_return std::nullopt;
    co_return watcher.result();
}

// The items of this run when there is no Secret Service. Touched on the main loop only.
struct MemoryStore {
    bool active = false;
    QHash<std::pair<QString, QString>, QByteArray> items;
};

MemoryStore &memory()
{
    static MemoryStore store;
    return store;
}

// A missing service turns the memory store on for the rest of the run.
bool switchedToMemory(const std::optional<Outcome> &outcome)
{
    if (!outcome || !outcome->serviceMissing)
        return false;
    // Two calls in flight can both find the service missing; say it once.
    if (std::exchange(memory().active, true))
        return true;
    std::printf("No Secret Service is running: the login is kept only until Hourloom quits\n");
    std::fflush(stdout);
    return true;
}

Item itemOf(const QString &service, const QString &account)
{
    return Item{service.toStdString(), account.toStdString()};
}

} // namespace

KeychainHelper::KeychainHelper(std::chrono::milliseconds deadline)
    : deadline_(deadline)
{
}

QCoro::Task<void> KeychainHelper::saveItem(QByteArray data, QString service, QString account)
{
    if (!memory().active) {
        // A named function, not a lambda inside the co_await expression: g++ 12 destroys such a
        // lambda temporary twice.
        std::function<Outcome()> call = [item = itemOf(service, account), data] { return store(item, data); };
        const auto outcome = co_await runWithDeadline(std::move(call), deadline_);
        if (outcome && outcome->succeeded)
            co_return;
        if (!switchedToMemory(outcome)) {
            std::printf("Could not save Keychain data\n");
            std::fflush(stdout);
            co_return;
        }
    }
    memory().items.insert({service, account}, data);
}

QCoro::Task<std::optional<QByteArray>> KeychainHelper::readItem(QString service, QString account)
{
    if (!memory().active) {
        std::function<Outcome()> call = [item = itemOf(service, account)] { return lookup(item); };
        const auto outcome = co_await runWithDeadline(std::move(call), deadline_);
        if (!switchedToMemory(outcome))
            co_return outcome ? outcome->data : std::nullopt;
    }
    const auto found = memory().items.constFind({service, account});
    co_return found == memory().items.constEnd() ? std::nullopt : std::optional(*found);
}

QCoro::Task<void> KeychainHelper::deleteItem(QString service, QString account)
{
    if (!memory().active) {
        std::function<Outcome()> call = [item = itemOf(service, account)] { return clear(item); };
        const auto outcome = co_await runWithDeadline(std::move(call), deadline_);
        if (!switchedToMemory(outcome))
            co_return;
    }
    memory().items.remove({service, account});
}

} // namespace hourloom
