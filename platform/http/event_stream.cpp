#include "platform/http/event_stream.h"

#include <algorithm>
#include <cstring>

namespace zarn {
namespace {

// Reconnect after a second when the connection breaks.
const StreamEvent kRetry = std::make_shared<const std::string>("retry: 1000\n\n");
const StreamEvent kHeartbeat = std::make_shared<const std::string>(": keep-alive\n\n");

}  // namespace

StreamEvent streamEvent(std::string_view type, std::string_view data) {
    std::string text;
    text.reserve(type.size() + data.size() + 16);
    text.append("event: ").append(type).append("\ndata: ").append(data).append("\n\n");
    return std::make_shared<const std::string>(std::move(text));
}

EventStream::EventStream(std::unique_ptr<StreamWaker> waker, const StreamLimits& limits)
    : waker_(std::move(waker)),
      queuedEvents_(limits.queuedEvents),
      queuedBytes_(limits.queuedBytes),
      coalesce_(limits.coalesce) {}

long EventStream::read(char* to, size_t size) {
    std::lock_guard lock(mutex_);
    if (dropped_) return kDropped;
    size_t given = 0;
    while (given < size && !queue_.empty()) {
        const Queued& front = queue_.front();
        const std::string& text = *front.event;
        const size_t n = std::min(size - given, text.size() - sentOfFront_);
        std::memcpy(to + given, text.data() + sentOfFront_, n);
        given += n;
        sentOfFront_ += n;
        if (sentOfFront_ < text.size()) break;
        if (!front.history) {
            --liveEvents_;
            liveBytes_ -= text.size();
        }
        queue_.pop_front();
        sentOfFront_ = 0;
    }
    if (given > 0) return static_cast<long>(given);
    if (ended_) return kEnd;
    sleeping_ = true;
    later_ = false;
    waker_->sleep();
    return 0;
}

EventStream::After EventStream::wakeAt(Clock::time_point now) {
    sleeping_ = false;
    later_ = false;
    woken_ = now;
    return After::Wake;
}

EventStream::After EventStream::push(const StreamEvent& event, bool history, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    if (dropped_ || ended_) return After::Nothing;
    if (!history && (liveEvents_ + 1 > queuedEvents_ || liveBytes_ + event->size() > queuedBytes_)) {
        dropped_ = true;
        queue_.clear();
        return sleeping_ ? wakeAt(now) : After::Cut;
    }
    queue_.push_back({event, history});
    if (!history) {
        ++liveEvents_;
        liveBytes_ += event->size();
    }
    if (!sleeping_ || later_) return After::Nothing;
    if (now - woken_ >= coalesce_) return wakeAt(now);
    later_ = true;
    return After::Later;
}

EventStream::After EventStream::end() {
    std::lock_guard lock(mutex_);
    ended_ = true;
    return sleeping_ ? wakeAt(Clock::now()) : After::Nothing;
}

EventStream::After EventStream::due(Clock::time_point now, Clock::time_point& next) {
    std::lock_guard lock(mutex_);
    if (!sleeping_ || !later_) return After::Nothing;
    if (now - woken_ >= coalesce_) return wakeAt(now);
    next = std::min(next, woken_ + coalesce_);
    return After::Nothing;
}

bool EventStream::dropped() {
    std::lock_guard lock(mutex_);
    return dropped_;
}

StreamHub::StreamHub(StreamLimits limits) : limits_(limits) {}

std::shared_ptr<EventStream> StreamHub::join(const std::function<StreamEvent(const Counts&)>& first,
                                             std::unique_ptr<StreamWaker> waker) {
    std::lock_guard lock(mutex_);
    if (ended_ || streams_.size() >= limits_.streams) return nullptr;
    auto stream = std::make_shared<EventStream>(std::move(waker), limits_);
    streams_.push_back(stream);
    ++joined_;
    const auto now = std::chrono::steady_clock::now();
    stream->push(kRetry, true, now);
    stream->push(first({streams_.size(), joined_, dropped_, history_.size()}), true, now);
    for (const Kept& kept : history_) stream->push(kept.event, true, now);
    stream->push(streamEvent("live", "{\"history\":" + std::to_string(history_.size()) + "}"), true, now);
    return stream;
}

void StreamHub::leave(const std::shared_ptr<EventStream>& stream) {
    std::lock_guard lock(mutex_);
    streams_.erase(std::remove(streams_.begin(), streams_.end(), stream), streams_.end());
}

void StreamHub::countDropped() {
    std::lock_guard lock(mutex_);
    ++dropped_;
}

void StreamHub::deliver(const StreamEvent& event, Calls& calls) {
    const auto now = std::chrono::steady_clock::now();
    for (auto it = streams_.begin(); it != streams_.end();) {
        const EventStream::After after = (*it)->push(event, false, now);
        if (after != EventStream::After::Nothing) calls.emplace_back(*it, after);
        if ((*it)->dropped()) {
            ++dropped_;
            it = streams_.erase(it);
        } else {
            ++it;
        }
    }
}

void StreamHub::call(const Calls& calls) {
    bool later = false;
    for (const auto& [stream, after] : calls) {
        if (after == EventStream::After::Wake) stream->waker_->wake();
        else if (after == EventStream::After::Cut) stream->waker_->cut();
        later |= after == EventStream::After::Later;
    }
    if (!later) return;
    {
        std::lock_guard lock(mutex_);
        if (flushAsked_) return;
        flushAsked_ = true;
    }
    if (askFlush_) askFlush_();
}

std::chrono::steady_clock::time_point StreamHub::flush(std::chrono::steady_clock::time_point now) {
    Calls calls;
    auto next = std::chrono::steady_clock::time_point::max();
    {
        std::lock_guard lock(mutex_);
        for (const auto& stream : streams_) {
            const EventStream::After after = stream->due(now, next);
            if (after != EventStream::After::Nothing) calls.emplace_back(stream, after);
        }
        flushAsked_ = next != std::chrono::steady_clock::time_point::max();
    }
    call(calls);
    return next;
}

void StreamHub::publish(const StreamEvent& event) {
    Calls calls;
    {
        std::lock_guard lock(mutex_);
        if (ended_) return;
        deliver(event, calls);
    }
    call(calls);
}

void StreamHub::publishRecord(const StreamEvent& event) {
    Calls calls;
    {
        std::lock_guard lock(mutex_);
        if (ended_) return;
        const auto now = std::chrono::steady_clock::now();
        history_.push_back({event, now});
        historyBytes_ += event->size();
        forget(now);
        deliver(event, calls);
    }
    call(calls);
}

void StreamHub::heartbeat() { publish(kHeartbeat); }

// Records older than the history's span go, and the oldest beyond its bytes.
void StreamHub::forget(std::chrono::steady_clock::time_point now) {
    while (!history_.empty() &&
           (now - history_.front().at > limits_.history || historyBytes_ > limits_.historyBytes)) {
        historyBytes_ -= history_.front().event->size();
        history_.pop_front();
    }
}

void StreamHub::end(const StreamEvent& last) {
    Calls calls;
    {
        std::lock_guard lock(mutex_);
        if (ended_) return;
        deliver(last, calls);
        ended_ = true;
        for (const auto& stream : streams_) {
            const EventStream::After after = stream->end();
            if (after != EventStream::After::Nothing) calls.emplace_back(stream, after);
        }
    }
    call(calls);
}

StreamHub::Counts StreamHub::counts() const {
    std::lock_guard lock(mutex_);
    return {streams_.size(), joined_, dropped_, history_.size()};
}

}  // namespace zarn
