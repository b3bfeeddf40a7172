// A minimal X11 session manager for tests: it accepts XSMP clients, and on the line "logout" on
// its standard input asks each to save itself for a shutdown and then to die, as a desktop's
// log-out does. It prints one line per step on standard output:
//   SESSION_MANAGER=<ids>   listening; give this to the client's environment
//   REGISTERED              a client registered
//   SAVED                   every client answered SaveYourself
//   DIE                     Die was sent
//   CLOSED                  every client closed its connection
// Every wait is bounded: after `deadline` seconds (the first argument, 120 by default) without
// reaching the end it prints "GAVE UP" and exits 1. It runs in a process of its own so that
// nothing in ICE's blocking calls can hold up the test that drives it.
#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Client {
    SmsConn sms = nullptr;
    IceConn ice = nullptr;
    bool registered = false;
    bool saved = false;
    bool closed = false;
};

std::vector<Client *> clients;

void say(const char *line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

Client *clientOf(SmPointer data)
{
    return static_cast<Client *>(data);
}

Status registerClient(SmsConn sms, SmPointer data, char *previousId)
{
    std::free(previousId);
    static int next = 0;
    char *id = SmsGenerateClientID(sms);
    // libSM makes no ID without a network address of this host.
    if (!id)
        id = strdup(("1hourloomtest" + std::to_string(++next)).c_str());
    SmsRegisterClientReply(sms, id);
    clientOf(data)->registered = true;
    say("REGISTERED");
    return 1;
}

void closeConnection(SmsConn sms, SmPointer data, int count, char **reasons)
{
    SmFreeReasons(count, reasons);
    clientOf(data)->closed = true;
    IceConn ice = SmsGetIceConnection(sms);
    SmsCleanUp(sms);
    IceSetShutdownNegotiation(ice, False);
    IceCloseConnection(ice);
    clientOf(data)->ice = nullptr;
}

Status newClient(SmsConn sms, SmPointer, unsigned long *mask, SmsCallbacks *callbacks, char **)
{
    // The connection was accepted before its protocol set-up arrived.
    IceConn ice = SmsGetIceConnection(sms);
    const auto accepted = std::find_if(clients.cbegin(), clients.cend(), [&](const Client *client) { return client->ice == ice; });
    Client *client = accepted != clients.cend() ? *accepted : clients.emplace_back(new Client{nullptr, ice});
    client->sms = sms;
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask | SmsSaveYourselfRequestProcMask
          | SmsSaveYourselfP2RequestProcMask | SmsSaveYourselfDoneProcMask | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask
          | SmsDeletePropertiesProcMask | SmsGetPropertiesProcMask;
    // The client's requests are granted at once; its properties are not kept.
    callbacks->register_client = {registerClient, client};
    callbacks->interact_request = {[](SmsConn sms, SmPointer, int) { SmsInteract(sms); }, client};
    callbacks->interact_done = {[](SmsConn, SmPointer, Bool) {}, client};
    callbacks->save_yourself_request = {[](SmsConn, SmPointer, int, Bool, int, Bool, Bool) {}, client};
    callbacks->save_yourself_phase2_request = {[](SmsConn sms, SmPointer) { SmsSaveYourselfPhase2(sms); }, client};
    callbacks->save_yourself_done = {[](SmsConn, SmPointer data, Bool) { clientOf(data)->saved = true; }, client};
    callbacks->close_connection = {closeConnection, client};
    callbacks->set_properties = {[](SmsConn, SmPointer, int count, SmProp **properties) {
                                     for (int i = 0; i < count; ++i)
                                         SmFreeProperty(properties[i]);
                                     std::free(properties);
                                 },
                                 client};
    callbacks->delete_properties = {[](SmsConn, SmPointer, int count, char **names) {
                                        for (int i = 0; i < count; ++i)
                                            std::free(names[i]);
                                        std::free(names);
                                    },
                                    client};
    callbacks->get_properties = {[](SmsConn sms, SmPointer) { SmsReturnProperties(sms, 0, nullptr); }, client};
    return 1;
}

// The test's private ICE authority file is empty: every local client is let in.
Bool anyHost(char *)
{
    return True;
}

// Over the clients that registered over XSMP; a bare ICE connection that never set XSMP up
// takes no part in the log-out.
bool allOf(bool Client::*flag)
{
    bool any = false;
    for (const Client *client : clients) {
        if (!client->sms)
            continue;
        any = true;
        if (!(client->*flag))
            return false;
    }
    return any;
}

} // namespace

int main(int argc, char **argv)
{
    const int deadlineSeconds = argc > 1 ? std::atoi(argv[1]) : 120;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(deadlineSeconds);
    char error[256] = {};
    if (!SmsInitialize("hourloom-test-manager", "1.0", newClient, nullptr, anyHost, sizeof error, error)) {
        std::printf("SmsInitialize failed: %s\n", error);
        return 1;
    }
    int listenCount = 0;
    IceListenObj *listeners = nullptr;
    if (!IceListenForConnections(&listenCount, &listeners, sizeof error, error)) {
        std::printf("IceListenForConnections failed: %s\n", error);
        return 1;
    }
    for (int i = 0; i < listenCount; ++i)
        IceSetHostBasedAuthProc(listeners[i], anyHost);
    char *ids = IceComposeNetworkIdList(listenCount, listeners);
    std::printf("SESSION_MANAGER=%s\n", ids);
    std::fflush(stdout);
    std::free(ids);

    enum class Step { waiting, saving, dying } step = Step::waiting;
    std::string input;
    while (std::chrono::steady_clock::now() < deadline) {
        std::vector<pollfd> fds;
        fds.push_back({STDIN_FILENO, POLLIN, 0});
        for (int i = 0; i < listenCount; ++i)
            fds.push_back({IceGetListenConnectionNumber(listeners[i]), POLLIN, 0});
        std::vector<Client *> polled;
        for (Client *client : clients) {
            if (client->ice) {
                fds.push_back({IceConnectionNumber(client->ice), POLLIN, 0});
                polled.push_back(client);
            }
        }
        if (::poll(fds.data(), fds.size(), 200) < 0)
            continue;
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            char buffer[64];
            const ssize_t read = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (read <= 0)
                fds[0].fd = -1;
            else
                input.append(buffer, size_t(read));
        }
        for (int i = 0; i < listenCount; ++i) {
            if (!(fds[1 + i].revents & POLLIN))
                continue;
            IceAcceptStatus status;
            IceConn ice = IceAcceptConnection(listeners[i], &status);
            // The connection set-up and the protocol set-up are messages of their own; each is
            // handled as it arrives, like any other.
            if (ice && status == IceAcceptSuccess)
                clients.push_back(new Client{nullptr, ice});
        }
        for (size_t i = 0; i < polled.size(); ++i) {
            Client *client = polled[i];
            if (!(fds[1 + listenCount + i].revents & (POLLIN | POLLHUP | POLLERR)) || !client->ice)
                continue;
            // A client that closes its connection without a word has gone all the same.
            if (IceProcessMessages(client->ice, nullptr, nullptr) == IceProcessMessagesIOError && client->ice) {
                if (client->sms)
                    SmsCleanUp(client->sms);
                IceSetShutdownNegotiation(client->ice, False);
                IceCloseConnection(client->ice);
                client->ice = nullptr;
                client->closed = true;
            }
        }

        if (step == Step::waiting && input.find("logout\n") != std::string::npos && allOf(&Client::registered)) {
            for (Client *client : clients)
                SmsSaveYourself(client->sms, SmSaveLocal, True, SmInteractStyleNone, False);
            step = Step::saving;
        }
        if (step == Step::saving && allOf(&Client::saved)) {
            say("SAVED");
            for (Client *client : clients) {
                if (!client->closed)
                    SmsDie(client->sms);
            }
            say("DIE");
            step = Step::dying;
        }
        if (step == Step::dying && allOf(&Client::closed)) {
            say("CLOSED");
            return 0;
        }
    }
    say("GAVE UP");
    return 1;
}
