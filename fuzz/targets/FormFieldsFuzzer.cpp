// A request body of the token endpoint or an account page: its first line is the content type,
// the rest the body, so that JSON and forms are both reached.
#include "RequestFields.h"

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <string_view>

using namespace hourloom::devserver;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const std::size_t lineEnd = std::min(input.find('\n'), input.size());
    const auto fields = RequestFields::parse(std::string(input.substr(0, lineEnd)), std::string(input.substr(std::min(lineEnd + 1, input.size()))));
    if (fields) {
        for (const char *name : {"email", "password", "grant_type", "form_token"})
            (void)fields->value(QString::fromLatin1(name));
    }
    return 0;
}
