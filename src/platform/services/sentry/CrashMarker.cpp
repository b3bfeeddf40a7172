#include "CrashMarker.h"

#include <QDir>
#include <QFileInfo>

#include <csignal>
#include <cstring>
#include <ctime>

#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace hourloom {
namespace {

constexpr int fatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP};
constexpr int maximumFrames = 64;

// Everything the handler needs is prepared beforehand: it must not allocate.
char markerPath[4096];
alignas(16) char alternateStack[64 * 1024];
char mapsChunk[4096];

// Appends text to the buffer without the C library's formatting, which is not signal-safe.
struct MarkerText {
    char bytes[64 + maximumFrames * 32];
    size_t length = 0;

    void append(const char *text)
    {
        while (*text && length < sizeof bytes)
            bytes[length++] = *text++;
    }

    void appendNumber(unsigned long long value, unsigned base)
    {
        char digits[32];
        size_t count = 0;
        do {
            digits[count++] = "0123456789abcdef"[value % base];
            value /= base;
        } while (value != 0);
        while (count > 0 && length < sizeof bytes)
            bytes[length++] = digits[--count];
    }
};

void writeAll(int fd, const char *bytes, size_t length)
{
    size_t written = 0;
    while (written < length) {
        const ssize_t result = write(fd, bytes + written, length - written);
        if (result <= 0)
            return;
        written += static_cast<size_t>(result);
    }
}

void writeMarker(int signal)
{
    MarkerText text;
    text.append("signal ");
    text.appendNumber(static_cast<unsigned long long>(signal), 10);
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    text.append("\ntime ");
    text.appendNumber(static_cast<unsigned long long>(now.tv_sec), 10);
    text.append("\n");

    void *frames[maximumFrames];
    const int count = backtrace(frames, maximumFrames);
    for (int i = 0; i < count; ++i) {
        text.append("frame ");
        text.appendNumber(reinterpret_cast<unsigned long long>(frames[i]), 16);
        text.append("\n");
    }

    const int fd = open(markerPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    writeAll(fd, text.bytes, text.length);
    // The binary and its libraries load at other addresses in every run: the mappings say
    // which file each return address belongs to, and where that file was loaded.
    const int maps = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (maps >= 0) {
        ssize_t count;
        while ((count = read(maps, mapsChunk, sizeof mapsChunk)) > 0)
            writeAll(fd, mapsChunk, static_cast<size_t>(count));
        close(maps);
    }
    close(fd);
}

void handleFatalSignal(int signal, siginfo_t *, void *)
{
    writeMarker(signal);
    // The default action ends the process with the same signal, so a parent or a core dump
    // sees the real cause. A fault re-executes the failing instruction once this returns;
    // raise() covers the signals that were sent rather than caused.
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigaction(signal, &defaultAction, nullptr);
    raise(signal);
}

} // namespace

QString CrashMarker::defaultPath()
{
    QString stateHome = qEnvironmentVariable("XDG_STATE_HOME");
    if (stateHome.isEmpty() || QDir::isRelativePath(stateHome))
        stateHome = QDir::homePath() + QStringLiteral("/.local/state");
    return stateHome + QStringLiteral("/hourloom/crash-marker");
}

void CrashMarker::install(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray encoded = QFile::encodeName(path);
    std::memset(markerPath, 0, sizeof markerPath);
    std::memcpy(markerPath, encoded.constData(), std::min<size_t>(size_t(encoded.size()), sizeof markerPath - 1));

    static const bool installed = [] {
        // backtrace() loads libgcc on its first call, which allocates: do that now.
        void *frames[1];
        backtrace(frames, 1);

        stack_t stack{};
        stack.ss_sp = alternateStack;
        stack.ss_size = sizeof alternateStack;
        sigaltstack(&stack, nullptr);

        struct sigaction action {};
        action.sa_sigaction = handleFatalSignal;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        for (const int signal : fatalSignals)
            sigaction(signal, &action, nullptr);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace hourloom
