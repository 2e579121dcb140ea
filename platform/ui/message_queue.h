#pragma once
// MessageQueue: the user-interface thread's queue of posted and sent messages.
//
//  - post():     safe from any thread; never blocks on the reader. Messages
//                come out in the order they were posted.
//  - postUnlessWaiting(): posts unless a message for the same window with
//                the same number is still waiting; true when it posted.
//  - take():     the oldest message, false when the queue is empty.
//  - purge(w):   drops every message for window w (the window is going away);
//                a sender waiting on a dropped message is released with 0.
// A sent message from another thread carries a Reply that the user-interface
// thread fills in after handling it.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/ui/wintypes.h"

namespace zarn {

struct Reply {
    std::mutex mutex;
    std::condition_variable done;
    bool ready = false;
    LRESULT result = 0;
    void complete(LRESULT r);
    LRESULT wait();
};

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    Reply* reply = nullptr;  // set for a message sent from another thread
    uint64_t postedUs = 0;   // when another thread posted it, while stats are kept
    bool coalesced = false;  // posted to be folded into one while waiting
};

class MessageQueue {
public:
    void post(const MSG& msg);
    bool postUnlessWaiting(const MSG& msg);
    bool take(MSG& msg);
    bool empty() const;
    void purge(HWND hwnd);

private:
    mutable std::mutex mutex_;
    std::deque<MSG> queue_;
};

}  // namespace zarn
