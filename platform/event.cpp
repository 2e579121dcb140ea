#include "platform/event.h"

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

}  // namespace zarn
