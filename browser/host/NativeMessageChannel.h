#pragma once

#include <QByteArray>

#include <cstdint>

namespace hourloom {

// Native messaging as browsers speak it over a host's standard input and output: each message
// is a 32-bit length in native byte order followed by that many bytes of UTF-8 JSON.
class NativeMessageChannel {
public:
    // Nothing the extension sends comes near this; a larger frame is skipped, not buffered.
    static constexpr std::uint32_t maxMessageSize = 1024 * 1024;

    enum class Read { message, skipped, end };

    NativeMessageChannel(int input, int output);

    // The next message; `skipped` for an oversized one, `end` when the input closes, also in
    // the middle of a frame.
    Read read(QByteArray &message);
    bool write(const QByteArray &message);

private:
    bool readExactly(char *buffer, std::size_t size);

    int input_;
    int output_;
};

} // namespace hourloom
