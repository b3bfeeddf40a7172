#pragma once

#include <cstdlib>
#include <memory>

namespace hourloom {

struct XcbFree {
    void operator()(void *pointer) const { std::free(pointer); }
};

// xcb hands out every reply, error and event as memory the caller must free(). Holding it here
// frees it exactly once, after its last use.
template <typename T>
using XcbReply = std::unique_ptr<T, XcbFree>;

} // namespace hourloom
