#include "NativeMessageChannel.h"

#include "platform/services/files/WriteAll.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace hourloom {

NativeMessageChannel::NativeMessageChannel(int input, int output)
    : input_(input)
    , output_(output)
{
}

bool NativeMessageChannel::readExactly(char *buffer, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(input_, buffer + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

NativeMessageChannel::Read NativeMessageChannel::read(QByteArray &message)
{
    std::uint32_t length = 0;
    if (!readExactly(reinterpret_cast<char *>(&length), sizeof length))
        return Read::end;
    if (length > maxMessageSize) {
        char sink[64 * 1024];
        for (std::uint32_t left = length; left > 0;) {
            const std::uint32_t chunk = std::min<std::uint32_t>(left, sizeof sink);
            if (!readExactly(sink, chunk))
                return Read::end;
            left -= chunk;
        }
        return Read::skipped;
    }
    message.resize(static_cast<qsizetype>(length));
    return readExactly(message.data(), length) ? Read::message : Read::end;
}

bool NativeMessageChannel::write(const QByteArray &message)
{
    const auto length = static_cast<std::uint32_t>(message.size());
    QByteArray frame(reinterpret_cast<const char *>(&length), sizeof length);
    frame += message;
    return writeAll(output_, frame);
}

} // namespace hourloom
