// Uses the credential store in a process of its own, on whatever session bus (or none) the test
// gave it, and reports what it found without printing any token. With the argument "impostor"
// it first takes the Secret Service's name on the bus without serving it, so that every call
// fails with an error of the service rather than of the bus. With "stuck-at-exit" it leaves a
// call on the worker that never returns, cancelled or not, and ends.
#include <gio/gio.h>

#include "platform/services/secret/KeychainHelper.h"
#include "platform/services/secret/SecretWorker.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <future>

using namespace hourloom;

namespace {

bool takeSecretServiceName()
{
    GError *error = nullptr;
    gchar *address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    GDBusConnection *connection = address ? g_dbus_connection_new_for_address_sync(
                                                address, GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                                                nullptr, nullptr, &error)
                                          : nullptr;
    g_free(address);
    GVariant *reply = connection ? g_dbus_connection_call_sync(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                                               "RequestName", g_variant_new("(su)", "org.freedesktop.secrets", 4u),
                                                               G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error)
                                 : nullptr;
    guint32 answer = 0;
    if (reply) {
        g_variant_get(reply, "(u)", &answer);
        g_variant_unref(reply);
    }
    if (error)
        g_error_free(error);
    // The connection stays open for the life of the process: it owns the name.
    return answer == 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "stuck-at-exit") == 0) {
        static std::promise<void> never;
        std::promise<void> started;
        SecretWorker::shared().submit([&started](SecretWorker::Job &) {
            started.set_value();
            never.get_future().wait();
        });
        started.get_future().wait();
        std::printf("quitting\n");
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "impostor") == 0 && !takeSecretServiceName()) {
        std::printf("could not take the Secret Service's name\n");
        return 1;
    }
    KeychainHelper keychain;
    const QString account = KeychainHelperProtocol::account();
    const auto kept = [&](const QString &service, const QByteArray &expected) {
        return QCoro::waitFor(keychain.readItem(service, account)) == expected ? "kept" : "none";
    };
    QCoro::waitFor(keychain.saveItem("access token", KeychainHelperProtocol::accessTokenService, account));
    QCoro::waitFor(keychain.saveItem("refresh token", KeychainHelperProtocol::refreshTokenService, account));
    std::printf("access: %s\n", kept(KeychainHelperProtocol::accessTokenService, "access token"));
    std::printf("refresh: %s\n", kept(KeychainHelperProtocol::refreshTokenService, "refresh token"));
    QCoro::waitFor(keychain.deleteItem(KeychainHelperProtocol::accessTokenService, account));
    std::printf("after delete: access %s, refresh %s\n", kept(KeychainHelperProtocol::accessTokenService, "access token"),
                kept(KeychainHelperProtocol::refreshTokenService, "refresh token"));
    return 0;
}
