#include "platform/event.h"

#include <algorithm>
#include <chrono>

namespace zarn {

void Event::set() {
    std::lock_guard lock(mutex_);
    signalled_ = true;
    changed_.notify_all();
}

void Event::reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

void Event::pulse() {
    std::lock_guard lock(mutex_);
    ++pulses_;
    signalled_ = false;
    changed_.notify_all();
}

bool Event::isSet() const {
    std::lock_guard lock(mutex_);
    return signalled_;
}

WaitResult Event::wait(uint32_t milliseconds) {
    std::unique_lock lock(mutex_);
    const uint64_t pulsesAtStart = pulses_;
    auto released = [&] { return signalled_ || pulses_ != pulsesAtStart; };
    if (milliseconds == kInfinite) {
        changed_.wait(lock, released);
        return WaitResult::Signalled;
    }
    const bool ok = changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), released);
    return ok ? WaitResult::Signalled : WaitResult::TimedOut;
}

WaitResult Event::waitUnless(uint32_t milliseconds, const std::function<bool()>& abandon, uint32_t pollMs) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock lock(mutex_);
    const uint64_t pulsesAtStart = pulses_;
    auto released = [&] { return signalled_ || pulses_ != pulsesAtStart; };
    // The lock is held between the slices, so a pulse cannot fall between them.
    while (!released()) {
        const auto now = Clock::now();
        if (now >= end || abandon()) return WaitResult::TimedOut;
        changed_.wait_until(lock, std::min(end, now + std::chrono::milliseconds(pollMs)), released);
    }
    return WaitResult::Signalled;
}

}  // namespace zarn
