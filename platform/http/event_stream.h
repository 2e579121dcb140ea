#pragma once
// A page's event streams (Server-Sent Events): one EventStream for each
// client of /api/stream, all fed by one StreamHub.
//
// - A stream begins with what it is given when it joins (the current status),
//   then the history: every record published in the last 10 minutes, then a
//   "live" event, then every event published after it, in order; the join and
//   the publishing take one lock, so no event is missed or given twice.
// - publish() never waits on a client: an event (one shared copy of its text)
//   goes into each stream's queue. A stream whose queue holds more than
//   StreamLimits::queuedEvents or queuedBytes of events (the history it was
//   given does not count) is dropped: its queue is emptied, its connection cut,
//   and it takes nothing more.
// - The server's thread takes the text with read(): some bytes, or nothing
//   after telling the StreamWaker to sleep() (the server suspends the
//   connection); the next event wakes it, at once when the stream was last woken
//   StreamLimits::coalesce ago or longer, else at flush() when that time is up:
//   events that come fast go out a few at a time, in fewer writes and wakes.
//   An ended stream reads its queue to the end and then its end.
// - Events are "event: TYPE\ndata: JSON\n\n"; heartbeat() sends a comment line,
//   so that proxies keep the connection and a client that went away is found.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zarn {

using StreamEvent = std::shared_ptr<const std::string>;

// An event's text; `data` is one line of JSON.
StreamEvent streamEvent(std::string_view type, std::string_view data);

// How a stream's connection is put to sleep, woken and cut; from the server (live_server.h).
class StreamWaker {
public:
    virtual ~StreamWaker() = default;
    // From read(), with the stream's lock held: nothing to send until wake().
    virtual void sleep() = 0;
    // Without the lock: an event came for a sleeping stream.
    virtual void wake() = 0;
    // Without the lock: the stream was dropped while its connection was busy sending.
    virtual void cut() = 0;
};

struct StreamLimits {
    std::chrono::milliseconds coalesce{20};
    size_t queuedEvents = 1024;
    size_t queuedBytes = 256 * 1024;
    std::chrono::seconds history{600};
    size_t historyBytes = 64 << 20;  // the history's bound, whatever its age
    size_t streams = 200;
};

class EventStream {
public:
    static constexpr long kEnd = -1, kDropped = -2;

    EventStream(std::unique_ptr<StreamWaker> waker, const StreamLimits& limits);
    // On the server's thread: up to `size` bytes of the queued text; 0 after sleep()
    // when nothing is queued; kEnd once an ended stream has given everything; kDropped.
    long read(char* to, size_t size);

private:
    friend class StreamHub;
    struct Queued {
        StreamEvent event;
        bool history = false;
    };
    using Clock = std::chrono::steady_clock;
    // What the waker is to do once the locks are let go; Later: at flush().
    enum class After { Nothing, Wake, Later, Cut };
    // With the hub's lock held.
    After push(const StreamEvent& event, bool history, Clock::time_point now);
    After end();
    // A wake that was put off, if its time has come; else when it will.
    After due(Clock::time_point now, Clock::time_point& next);
    bool dropped();
    After wakeAt(Clock::time_point now);  // with the stream's lock held

    std::unique_ptr<StreamWaker> waker_;
    const size_t queuedEvents_, queuedBytes_;
    const Clock::duration coalesce_;
    Clock::time_point woken_{};
    bool later_ = false;
    std::mutex mutex_;
    std::deque<Queued> queue_;
    size_t sentOfFront_ = 0;
    size_t liveEvents_ = 0, liveBytes_ = 0;
    bool sleeping_ = false, ended_ = false, dropped_ = false;
};

class StreamHub {
public:
    explicit StreamHub(StreamLimits limits = {});

    struct Counts {
        size_t streams = 0;   // open now
        uint64_t joined = 0;  // since the start
        uint64_t dropped = 0;
        size_t historyRecords = 0;
    };

    // A new stream that begins with first(the counts with it); nullptr when there
    // are as many streams as the limits allow, or the hub has ended.
    std::shared_ptr<EventStream> join(const std::function<StreamEvent(const Counts&)>& first,
                                      std::unique_ptr<StreamWaker> waker);
    // Its connection closed.
    void leave(const std::shared_ptr<EventStream>& stream);
    // A stream the server ended for taking nothing, before its queue was full.
    void countDropped();

    // To every stream.
    void publish(const StreamEvent& event);
    // To every stream, and kept in the history.
    void publishRecord(const StreamEvent& event);
    void heartbeat();
    // `last` to every stream, then their end; nobody joins any more.
    void end(const StreamEvent& last);

    // Called (without the hub's lock) when a wake has been put off and no flush is
    // due: flush() is to be called by the time it returns, or sooner.
    void onWakeLater(std::function<void()> ask) { askFlush_ = std::move(ask); }
    // Wakes the streams whose put-off wake is due; the time of the next one
    // (time_point::max() when none is put off).
    std::chrono::steady_clock::time_point flush(std::chrono::steady_clock::time_point now);

    Counts counts() const;

private:
    struct Kept {
        StreamEvent event;
        std::chrono::steady_clock::time_point at;
    };
    using Calls = std::vector<std::pair<std::shared_ptr<EventStream>, EventStream::After>>;
    // With the lock held: each stream takes the event; the dropped leave.
    void deliver(const StreamEvent& event, Calls& calls);
    void forget(std::chrono::steady_clock::time_point now);
    // Without the lock.
    void call(const Calls& calls);

    const StreamLimits limits_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<EventStream>> streams_;
    std::deque<Kept> history_;
    size_t historyBytes_ = 0;
    uint64_t joined_ = 0, dropped_ = 0;
    bool ended_ = false;
    bool flushAsked_ = false;
    std::function<void()> askFlush_;
};

}  // namespace zarn
