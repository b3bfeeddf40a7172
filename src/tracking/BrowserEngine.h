#pragma once

namespace hourloom {

// How a browser is asked for its URL: the active tab of the front window, or the front document.
enum class BrowserEngine {
    blink,
    webkit,
};

} // namespace hourloom
