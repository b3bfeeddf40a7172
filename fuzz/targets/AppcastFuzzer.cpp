// The update feed: parsed, its latest release chosen (comparing versions) under both link policies.
#include "platform/services/updater/AppcastFeed.h"

#include <cstddef>
#include <cstdint>

using namespace hourloom;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto feed = AppcastFeed::parse(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!feed)
        return 0;
    for (const UpdateLinkPolicy links : {UpdateLinkPolicy(false), UpdateLinkPolicy(true)}) {
        const auto latest = feed->latestItem(links);
        // Nothing offered may carry a link the policy refuses.
        if (latest && (!links.allows(latest->downloadPage()) || (latest->releaseNotesLink.isValid() && !links.allows(latest->releaseNotesLink))))
            __builtin_trap();
    }
    return 0;
}
