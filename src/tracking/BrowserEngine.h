#pragma once

namespace hourloom {

// How a browser is asked for its URL: the active tab of the front window (blink), or the front
// document (webkit). The names are those of the macOS browser families (see "Names" in
// docs/ARCHITECTURE.md): on Linux every browser the bridge serves, Firefox included, is asked for
// its active tab, so Firefox is "blink" here.
enum class BrowserEngine {
    blink,
    webkit,
};

} // namespace hourloom
