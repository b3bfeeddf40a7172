// Dies of a fatal signal with the crash marker's handlers installed:
// crash_probe <marker path> segv|abort
#include "platform/services/sentry/CrashMarker.h"

#include <QString>

#include <cstdlib>
#include <cstring>

#include <sys/resource.h>

namespace {

// Not inlined, so that the backtrace has a frame of ours above the handler.
[[gnu::noinline]] void writeThroughNull(volatile int *target)
{
    *target = 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3)
        return 2;
    // A test run should not leave core files behind.
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);

    hourloom::CrashMarker::install(QString::fromLocal8Bit(argv[1]));
    if (std::strcmp(argv[2], "segv") == 0)
        writeThroughNull(nullptr);
    else if (std::strcmp(argv[2], "abort") == 0)
        std::abort();
    return 3;
}
