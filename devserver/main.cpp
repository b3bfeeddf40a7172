// hourloom-devserver: the local account service. See README.md ("The local account service").
#include "AccountStore.h"
#include "DevServer.h"
#include "DevServerOptions.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <thread>

using namespace hourloom::devserver;

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const auto parsed = DevServerOptions::parse(QCoreApplication::arguments());
    if (const auto *usage = std::get_if<DevServerOptions::Usage>(&parsed)) {
        std::fprintf(usage->isError ? stderr : stdout, "%s\n", qPrintable(usage->text));
        return usage->isError ? 2 : 0;
    }
    const auto &options = std::get<DevServerOptions>(parsed);

    // Stop cleanly on SIGINT and SIGTERM so the temporary database is removed. Blocked before
    // the server starts its threads, so only the waiter below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // The HTTP library writes to sockets without MSG_NOSIGNAL: a client that hangs up while its
    // answer is written must cost that connection, not the service.
    std::signal(SIGPIPE, SIG_IGN);

    QTemporaryDir temporary;
    const QString path = options.databasePath.isEmpty() ? temporary.filePath(QStringLiteral("accounts.sqlite")) : options.databasePath;
    try {
        AccountStore store(path, options.tokenLifetime, options.passwordCost);
        for (const Credential &user : options.users)
            store.seedUser(user.name, user.secret);
        for (const Credential &client : options.clients)
            store.seedClient(client.name, client.secret);

        DevServer server(store, options.faultInjection);
        const int port = server.bind(options.port);
        if (port < 0) {
            std::fprintf(stderr, "hourloom-devserver: cannot listen on 127.0.0.1:%d\n", options.port);
            return 1;
        }
        // Tests read the port from this line.
        std::printf("hourloom-devserver listening on http://127.0.0.1:%d\n", port);
        std::fflush(stdout);

        std::thread waiter([&server, stopSignals] {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            server.stop();
        });
        const bool served = server.run();
        // Served to the end or failed: either way wake the waiter so it can be joined.
        pthread_kill(waiter.native_handle(), SIGTERM);
        waiter.join();
        return served ? 0 : 1;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "hourloom-devserver: %s: %s\n", qPrintable(path), error.what());
        return 1;
    }
}
