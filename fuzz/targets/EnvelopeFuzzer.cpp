// A crash-report envelope as the local account service receives it.
#include "ReceivedEnvelope.h"

#include <cstddef>
#include <cstdint>

using namespace hourloom::devserver;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    (void)ReceivedEnvelope::parse(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
