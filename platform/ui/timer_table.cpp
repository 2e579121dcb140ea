#include "platform/ui/timer_table.h"

#include <algorithm>

#include "platform/ui/backend.h"

namespace zarn {

void TimerTable::set(HWND hwnd, UINT_PTR id, uint32_t periodMs, uint64_t nowMs) {
    uint32_t period = std::max<uint32_t>(periodMs, 1);
    for (auto& t : timers_) {
        if (t.hwnd == hwnd && t.id == id) {
            t.period = period;
            t.deadline = nowMs + period;
            t.order = nextOrder_++;
            return;
        }
    }
    timers_.push_back({hwnd, id, period, nowMs + period, nextOrder_++});
}

bool TimerTable::kill(HWND hwnd, UINT_PTR id) {
    auto it = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == timers_.end()) return false;
    timers_.erase(it);
    return true;
}

void TimerTable::park(HWND hwnd, UINT_PTR id) {
    for (auto& t : timers_)
        if (t.hwnd == hwnd && t.id == id) t.deadline = UiBackend::kNoDeadline;
}

void TimerTable::killAll(HWND hwnd) {
    std::erase_if(timers_, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
}

uint64_t TimerTable::nextDeadline() const {
    uint64_t next = UiBackend::kNoDeadline;
    for (const auto& t : timers_) next = std::min(next, t.deadline);
    return next;
}

bool TimerTable::takeDue(uint64_t nowMs, Due& due) {
    Timer* best = nullptr;
    for (auto& t : timers_) {
        if (t.deadline > nowMs) continue;
        if (!best || t.deadline < best->deadline || (t.deadline == best->deadline && t.order < best->order)) best = &t;
    }
    if (!best) return false;
    due = {best->hwnd, best->id};
    best->deadline = nowMs + best->period;
    best->order = nextOrder_++;
    return true;
}

}  // namespace zarn
