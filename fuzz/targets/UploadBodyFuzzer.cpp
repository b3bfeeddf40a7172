// The body of an upload as the local account service receives it.
#include "UploadedActivities.h"

#include <cstddef>
#include <cstdint>

using namespace hourloom::devserver;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    (void)UploadedActivities::parse(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
