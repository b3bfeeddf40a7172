// What a browser writes to the native host: length-prefixed frames, each read as a state message.
#include "NativeMessageChannel.h"
#include "StateMessage.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

using namespace hourloom;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The channel reads a file descriptor, as it reads the host's standard input.
    const int input = ::memfd_create("frames", MFD_CLOEXEC);
    if (input < 0 || ::write(input, data, size) != ssize_t(size) || ::lseek(input, 0, SEEK_SET) != 0)
        __builtin_trap();
    NativeMessageChannel channel(input, -1);
    QByteArray message;
    for (NativeMessageChannel::Read read; (read = channel.read(message)) != NativeMessageChannel::Read::end;) {
        if (read == NativeMessageChannel::Read::message)
            (void)StateMessage::parse(message);
    }
    ::close(input);
    return 0;
}
