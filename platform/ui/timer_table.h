#pragma once
// TimerTable: the repeating window timers.
//
//  - set(w, id, ms): starts or restarts timer id of window w; the first
//                    expiry is ms after now. A period of 0 counts as 1 ms.
//  - kill(w, id):    false when no such timer runs.
//  - killAll(w):     the window is going away.
//  - park(w, id):    the timer stays (kill still finds it) but never expires
//                    until set again.
//  - nextDeadline(): the earliest expiry, UiBackend::kNoDeadline when none.
//  - takeDue(now):   one timer whose expiry has come (earliest first) and
//                    schedules its next expiry a whole period after now, so a
//                    late timer fires once, not once per missed period.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/ui/wintypes.h"

namespace zarn {

class TimerTable {
public:
    struct Due {
        HWND hwnd;
        UINT_PTR id;
    };

    void set(HWND hwnd, UINT_PTR id, uint32_t periodMs, uint64_t nowMs);
    bool kill(HWND hwnd, UINT_PTR id);
    void park(HWND hwnd, UINT_PTR id);
    void killAll(HWND hwnd);
    uint64_t nextDeadline() const;
    bool takeDue(uint64_t nowMs, Due& due);
    size_t size() const { return timers_.size(); }

private:
    struct Timer {
        HWND hwnd;
        UINT_PTR id;
        uint32_t period;
        uint64_t deadline;
        uint64_t order;  // keeps equal deadlines in the order they were set
    };
    std::vector<Timer> timers_;
    uint64_t nextOrder_ = 0;
};

}  // namespace zarn
