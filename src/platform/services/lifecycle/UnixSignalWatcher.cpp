#include "UnixSignalWatcher.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hourloom {
namespace {

// Ctrl-C; the session's end (systemd-logind sends SIGTERM, then SIGHUP); a plain kill.
constexpr int watchedSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Written by the signal handler, which may only make async-signal-safe calls.
volatile sig_atomic_t writeFd = -1;

} // namespace

UnixSignalWatcher::UnixSignalWatcher(Handler handler)
    : handler_(std::move(handler))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_) != 0)
        return;
    ::fcntl(fds_[0], F_SETFL, O_NONBLOCK);
    ::fcntl(fds_[1], F_SETFL, O_NONBLOCK);
    writeFd = fds_[1];
    notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { readSignals(); });

    struct sigaction action {};
    action.sa_handler = &UnixSignalWatcher::onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : watchedSignals)
        ::sigaction(signal, &action, nullptr);
}

UnixSignalWatcher::~UnixSignalWatcher()
{
    for (const int signal : watchedSignals)
        ::signal(signal, SIG_DFL);
    writeFd = -1;
    notifier_.reset();
    for (int fd : fds_) {
        if (fd >= 0)
            ::close(fd);
    }
}

void UnixSignalWatcher::onSignal(int signal)
{
    const unsigned char number = static_cast<unsigned char>(signal);
    if (writeFd >= 0)
        [[maybe_unused]] auto written = ::write(writeFd, &number, 1);
}

void UnixSignalWatcher::readSignals()
{
    unsigned char number = 0;
    while (::read(fds_[0], &number, 1) == 1)
        handler_(number);
}

} // namespace hourloom
