#pragma once
// waitUntil: polls a condition until it holds or a deadline passes, so tests wait
// for what they need instead of sleeping a fixed time.

#include <chrono>
#include <thread>

namespace zarn::testing {

// True as soon as ready() is; false when it still is not after `timeout`.
template <typename Ready>
bool waitUntil(Ready&& ready, std::chrono::milliseconds timeout,
               std::chrono::milliseconds every = std::chrono::milliseconds(20)) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (ready()) return true;
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(every);
    }
}

}  // namespace zarn::testing
