// The activity endpoint's answer body.
#include "model/ApiActivityUploadResponseData.h"

#include <cstddef>
#include <cstdint>

using namespace hourloom;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    (void)ApiActivityUploadResponseData::fromJson(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
