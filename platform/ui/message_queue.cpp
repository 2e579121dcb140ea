#include "platform/ui/message_queue.h"

#include <algorithm>

namespace zarn {

void Reply::complete(LRESULT r) {
    std::lock_guard lock(mutex);
    result = r;
    ready = true;
    done.notify_all();
}

LRESULT Reply::wait() {
    std::unique_lock lock(mutex);
    done.wait(lock, [this] { return ready; });
    return result;
}

void MessageQueue::post(const MSG& msg) {
    std::lock_guard lock(mutex_);
    queue_.push_back(msg);
}

bool MessageQueue::postUnlessWaiting(const MSG& msg) {
    std::lock_guard lock(mutex_);
    const bool waiting = std::any_of(queue_.begin(), queue_.end(), [&](const MSG& m) {
        return m.hwnd == msg.hwnd && m.message == msg.message && !m.reply;
    });
    if (!waiting) queue_.push_back(msg);
    return !waiting;
}

bool MessageQueue::take(MSG& msg) {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return false;
    msg = queue_.front();
    queue_.pop_front();
    return true;
}

bool MessageQueue::empty() const {
    std::lock_guard lock(mutex_);
    return queue_.empty();
}

void MessageQueue::purge(HWND hwnd) {
    std::lock_guard lock(mutex_);
    auto dropped = std::stable_partition(queue_.begin(), queue_.end(), [hwnd](const MSG& m) { return m.hwnd != hwnd; });
    for (auto it = dropped; it != queue_.end(); ++it) {
        if (it->reply) it->reply->complete(0);
    }
    queue_.erase(dropped, queue_.end());
}

}  // namespace zarn
