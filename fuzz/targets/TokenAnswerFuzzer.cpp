// The token endpoint's answer body.
#include "auth/AuthToken.h"
#include "model/DecodingError.h"

#include <cstddef>
#include <cstdint>

using namespace hourloom;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        (void)AuthToken::decode(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    } catch (const DecodingError &) {
        // The answer the agent reports as undecodable.
    }
    return 0;
}
