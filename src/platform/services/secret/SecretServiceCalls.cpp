// libsecret first: GLib has struct members named "signals", which Qt defines as a macro.
#include <libsecret/secret.h>

#include "SecretServiceCalls.h"

#include <functional>
#include <variant>

namespace hourloom::SecretServiceCalls {
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

} // namespace
} // namespace hourloom::SecretServiceCalls

// A Secret Service proxy that notices its prompts. It tells the job of the call before a prompt
// shows, and shows none for a job given up. libsecret reports a dismissed prompt as a prompt
// without a result, and what follows fails with whatever error the missing result leads to; this
// turns it into one error of its own. gnome-keyring reports a prompt that could not show as
// completed, with the path of a keyring it never made: what follows finds no object.
extern "C" {

struct HourloomSecretService {
    SecretService parent;
    gboolean prompted;
    gboolean promptDismissed;
    // The job of the call under way; only the worker thread touches it.
    hourloom::SecretWorker::Job *job;
};

struct HourloomSecretServiceClass {
    SecretServiceClass parentClass;
};

G_DEFINE_TYPE(HourloomSecretService, hourloom_secret_service, SECRET_TYPE_SERVICE)

static GVariant *hourloom_secret_service_checked(SecretService *self, GVariant *result, GError *error, GError **reported)
{
    reinterpret_cast<HourloomSecretService *>(self)->prompted = TRUE;
    if (!result && !error) {
        reinterpret_cast<HourloomSecretService *>(self)->promptDismissed = TRUE;
        error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_CANCELLED, "The prompt was dismissed");
    }
    if (error)
        g_propagate_error(reported, error);
    return result;
}

static gboolean hourloom_secret_service_may_prompt(SecretService *self)
{
    hourloom::SecretWorker::Job *job = reinterpret_cast<HourloomSecretService *>(self)->job;
    return !job || job->showsPrompt();
}

static GError *hourloom_secret_service_given_up()
{
    return g_error_new_literal(G_IO_ERROR, G_IO_ERROR_CANCELLED, "Given up before the prompt showed");
}

static GVariant *hourloom_secret_service_prompt_sync(SecretService *self, SecretPrompt *prompt, GCancellable *cancellable,
                                                     const GVariantType *returnType, GError **reported)
{
    if (!hourloom_secret_service_may_prompt(self)) {
        g_propagate_error(reported, hourloom_secret_service_given_up());
        return nullptr;
    }
    GError *error = nullptr;
    GVariant *result = SECRET_SERVICE_CLASS(hourloom_secret_service_parent_class)->prompt_sync(self, prompt, cancellable, returnType, &error);
    return hourloom_secret_service_checked(self, result, error, reported);
}

static void hourloom_secret_service_prompt_async(SecretService *self, SecretPrompt *prompt, const GVariantType *returnType,
                                                 GCancellable *cancellable, GAsyncReadyCallback callback, gpointer userData)
{
    if (hourloom_secret_service_may_prompt(self)) {
        SECRET_SERVICE_CLASS(hourloom_secret_service_parent_class)->prompt_async(self, prompt, returnType, cancellable, callback, userData);
        return;
    }
    GTask *task = g_task_new(self, cancellable, callback, userData);
    g_task_set_source_tag(task, reinterpret_cast<gpointer>(hourloom_secret_service_prompt_async));
    g_task_return_error(task, hourloom_secret_service_given_up());
    g_object_unref(task);
}

static GVariant *hourloom_secret_service_prompt_finish(SecretService *self, GAsyncResult *asyncResult, GError **reported)
{
    GError *error = nullptr;
    if (g_task_is_valid(asyncResult, self) && g_task_get_source_tag(G_TASK(asyncResult)) == reinterpret_cast<gpointer>(hourloom_secret_service_prompt_async)) {
        g_task_propagate_pointer(G_TASK(asyncResult), &error);
        g_propagate_error(reported, error);
        return nullptr;
    }
    GVariant *result = SECRET_SERVICE_CLASS(hourloom_secret_service_parent_class)->prompt_finish(self, asyncResult, &error);
    return hourloom_secret_service_checked(self, result, error, reported);
}

static void hourloom_secret_service_init(HourloomSecretService *self)
{
    self->prompted = FALSE;
    self->promptDismissed = FALSE;
    self->job = nullptr;
}

static void hourloom_secret_service_class_init(HourloomSecretServiceClass *klass)
{
    SECRET_SERVICE_CLASS(klass)->prompt_sync = hourloom_secret_service_prompt_sync;
    SECRET_SERVICE_CLASS(klass)->prompt_async = hourloom_secret_service_prompt_async;
    SECRET_SERVICE_CLASS(klass)->prompt_finish = hourloom_secret_service_prompt_finish;
}

} // extern "C"

namespace hourloom::SecretServiceCalls {
namespace {

Outcome done(std::optional<QByteArray> data = std::nullopt)
{
    return Outcome{Outcome::Status::done, {}, std::move(data)};
}

Outcome unavailable(std::string reason)
{
    return Outcome{Outcome::Status::unavailable, std::move(reason), std::nullopt};
}

// An error of the bus itself, saying that nothing serves the Secret Service's name, or that
// what should serve it could not be started.
bool meansNoService(const GError *error)
{
    if (error->domain != G_DBUS_ERROR)
        return false;
    switch (error->code) {
    case G_DBUS_ERROR_SERVICE_UNKNOWN:
    case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
    case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
    case G_DBUS_ERROR_SPAWN_FORK_FAILED:
    case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
    case G_DBUS_ERROR_SPAWN_CHILD_SIGNALED:
    case G_DBUS_ERROR_SPAWN_FAILED:
    case G_DBUS_ERROR_SPAWN_SETUP_FAILED:
    case G_DBUS_ERROR_SPAWN_CONFIG_INVALID:
    case G_DBUS_ERROR_SPAWN_SERVICE_INVALID:
    case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
    case G_DBUS_ERROR_SPAWN_PERMISSIONS_INVALID:
    case G_DBUS_ERROR_SPAWN_FILE_INVALID:
    case G_DBUS_ERROR_SPAWN_NO_MEMORY:
        return true;
    default:
        return false;
    }
}

// The service proxy of this thread, opened at the first call that finds one. Only the worker
// thread calls in here.
HourloomSecretService *openedService = nullptr;
// Once the user dismissed a prompt, nothing asks again in this run: the calls queued behind it
// would each raise one more.
bool promptWasDismissed = false;

// The proxy, or why there is none.
std::variant<HourloomSecretService *, Outcome> service(GCancellable *cancellable)
{
    if (openedService)
        return openedService;
    GError *error = nullptr;
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, cancellable, &error);
    if (!bus) {
        const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
        g_error_free(error);
        return cancelled ? Outcome{} : unavailable("No Secret Service is running");
    }
    g_object_unref(bus);
    SecretService *opened = secret_service_open_sync(hourloom_secret_service_get_type(), nullptr, SECRET_SERVICE_OPEN_SESSION, cancellable, &error);
    if (!opened) {
        const bool missing = meansNoService(error);
        g_error_free(error);
        return missing ? unavailable("No Secret Service is running") : Outcome{};
    }
    openedService = reinterpret_cast<HourloomSecretService *>(opened);
    return openedService;
}

// Whether the error means that the prompt shown before it came to nothing.
bool meansPromptDismissed(const HourloomSecretService *service, const GError *error)
{
    if (service->promptDismissed)
        return true;
    return service->prompted
        && (g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD) || g_error_matches(error, SECRET_ERROR, SECRET_ERROR_NO_SUCH_OBJECT));
}

Outcome outcomeOf(HourloomSecretService *service, GError *error, std::optional<QByteArray> data = std::nullopt)
{
    if (!error)
        return done(std::move(data));
    const bool dismissed = meansPromptDismissed(service, error);
    const bool missing = meansNoService(error);
    g_error_free(error);
    promptWasDismissed = promptWasDismissed || dismissed;
    if (dismissed)
        return unavailable("The keyring prompt was dismissed");
    return missing ? unavailable("No Secret Service is running") : Outcome{};
}

GHashTable *attributes(const Item &item)
{
    return secret_attributes_build(&schema, "service", item.service.c_str(), "account", item.account.c_str(), nullptr);
}

// Runs the body against the service proxy and tells what came of it.
Outcome withService(SecretWorker::Job &job, const std::function<std::optional<QByteArray>(SecretService *, GCancellable *, GError **)> &body)
{
    if (promptWasDismissed)
        return unavailable("The keyring prompt was dismissed");
    auto found = service(job.cancellable());
    if (const auto *outcome = std::get_if<Outcome>(&found))
        return *outcome;
    HourloomSecretService *proxy = std::get<HourloomSecretService *>(found);
    proxy->prompted = FALSE;
    proxy->promptDismissed = FALSE;
    proxy->job = &job;
    GError *error = nullptr;
    std::optional<QByteArray> data = body(SECRET_SERVICE(proxy), job.cancellable(), &error);
    proxy->job = nullptr;
    return outcomeOf(proxy, error, std::move(data));
}

} // namespace

// Replaces the data of the item in place when one exists: creating an item replaces only one
// whose attributes match exactly, and an item that secret-tool stored carries more of them.
Outcome store(const Item &item, const QByteArray &data, SecretWorker::Job &job)
{
    return withService(job, [&](SecretService *secrets, GCancellable *cancellable, GError **error) -> std::optional<QByteArray> {
        GHashTable *query = attributes(item);
        SecretValue *value = secret_value_new(data.constData(), data.size(), "text/plain");
        GList *existing = secret_service_search_sync(secrets, &schema, query, SecretSearchFlags(SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK),
                                                     cancellable, error);
        if (!*error && !existing) {
            const std::string label = "Hourloom " + item.service + " (" + item.account + ")";
            secret_service_store_sync(secrets, &schema, query, SECRET_COLLECTION_DEFAULT, label.c_str(), value, cancellable, error);
        }
        for (GList *match = existing; match && !*error; match = match->next) {
            auto *secretItem = static_cast<SecretItem *>(match->data);
            if (match == existing)
                secret_item_set_secret_sync(secretItem, value, cancellable, error);
            else
                secret_item_delete_sync(secretItem, cancellable, error);
        }
        g_list_free_full(existing, g_object_unref);
        secret_value_unref(value);
        g_hash_table_unref(query);
        return std::nullopt;
    });
}

Outcome lookup(const Item &item, SecretWorker::Job &job)
{
    return withService(job, [&](SecretService *secrets, GCancellable *cancellable, GError **error) -> std::optional<QByteArray> {
        GHashTable *query = attributes(item);
        SecretValue *value = secret_service_lookup_sync(secrets, &schema, query, cancellable, error);
        g_hash_table_unref(query);
        if (!value)
            return std::nullopt;
        gsize length = 0;
        const gchar *bytes = secret_value_get(value, &length);
        QByteArray data(bytes, qsizetype(length));
        secret_value_unref(value);
        return data;
    });
}

Outcome clear(const Item &item, SecretWorker::Job &job)
{
    return withService(job, [&](SecretService *secrets, GCancellable *cancellable, GError **error) -> std::optional<QByteArray> {
        GHashTable *query = attributes(item);
        secret_service_clear_sync(secrets, &schema, query, cancellable, error);
        g_hash_table_unref(query);
        return std::nullopt;
    });
}

} // namespace hourloom::SecretServiceCalls
