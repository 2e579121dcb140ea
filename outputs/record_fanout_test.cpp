// The fan-out with one output stalled for 30 s of line-rate records: publishing never
// waits, the other outputs take every record in order, the stalled one loses only what
// its queue could not hold, and an output that throws or never finishes is cut off
// alone.
#include "outputs/record_fanout.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace zarn {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A level frame of some ten bytes on a 38400 bit/s line: at most 384 records a second.
constexpr size_t kRecordsIn30s = 30 * 3840 / 10;

// What an output was given, in order: record offsets, and -1 for each status.
struct Taken {
    std::mutex mutex;
    std::vector<long long> items;
    std::vector<std::string> statuses;
    void add(long long item) {
        std::lock_guard lock(mutex);
        items.push_back(item);
    }
    size_t size() {
        std::lock_guard lock(mutex);
        return items.size();
    }
};

class Collecting : public RecordOutput {
public:
    explicit Collecting(Taken& taken) : taken_(taken) {}
    void record(const OutputRecord& r) override { taken_.add(static_cast<long long>(r.written.offset)); }
    void status(const RecorderStatus& s) override {
        taken_.add(-1);
        std::lock_guard lock(taken_.mutex);
        taken_.statuses.push_back(s.started);
    }

private:
    Taken& taken_;
};

// Takes its first record and then waits until it is let go.
class Stalling : public Collecting {
public:
    Stalling(Taken& taken, std::atomic<bool>& held, std::atomic<bool>& waiting)
        : Collecting(taken), held_(held), waiting_(waiting) {}
    void record(const OutputRecord& r) override {
        Collecting::record(r);
        waiting_ = true;
        while (held_) std::this_thread::sleep_for(1ms);
        waiting_ = false;
    }

private:
    std::atomic<bool>& held_;
    std::atomic<bool>& waiting_;
};

class Throwing : public Collecting {
public:
    using Collecting::Collecting;
    void record(const OutputRecord& r) override {
        if (++n_ == 3) throw std::runtime_error("the broker went away");
        Collecting::record(r);
    }

private:
    int n_ = 0;
};

OutputRecord recordAt(uint64_t offset) {
    OutputRecord r;
    r.written.offset = offset;
    r.written.type = 216;
    r.written.payload.assign(9, 0);
    return r;
}

RecorderStatus statusNamed(const std::string& name) {
    RecorderStatus s;
    s.started = name;
    return s;
}

bool waitFor(const std::function<bool()>& done) {
    const auto end = Clock::now() + 10s;
    while (!done())
        if (Clock::now() > end) return false;
        else std::this_thread::sleep_for(1ms);
    return true;
}

OutputStatus stateOf(const std::vector<OutputStatus>& states, const std::string& name) {
    for (const OutputStatus& s : states)
        if (s.name == name) return s;
    return {};
}

TEST(RecordFanout, AStalledOutputLosesOnlyWhatItsQueueCannotHoldAndHoldsUpNobody) {
    Taken stalledTook, liveTook, throwingTook;
    std::atomic<bool> held{true}, waiting{false};
    RecordFanout fanout;
    fanout.attach("stalled", std::make_unique<Stalling>(stalledTook, held, waiting), 1024);
    // Room for all: publishing outruns any thread, and this one is not the subject.
    fanout.attach("live", std::make_unique<Collecting>(liveTook), 2 * kRecordsIn30s);
    fanout.attach("throwing", std::make_unique<Throwing>(throwingTook));

    fanout.publish(recordAt(0));
    ASSERT_TRUE(waitFor([&] { return waiting.load(); }));
    for (uint64_t k = 1; k < kRecordsIn30s; ++k) {
        if (k == kRecordsIn30s / 2) fanout.publishStatus(statusNamed("lost"));
        fanout.publish(recordAt(k));
    }
    fanout.publishStatus(statusNamed("older"));
    fanout.publishStatus(statusNamed("newest"));
    EXPECT_TRUE(waiting) << "every record was published while the stalled output still waited";
    ASSERT_TRUE(waitFor([&] { return liveTook.size() == kRecordsIn30s + 3; }));

    std::vector<OutputStatus> states = fanout.states();
    EXPECT_EQ(stateOf(states, "live").sent, kRecordsIn30s);
    EXPECT_EQ(stateOf(states, "live").dropped, 0u);
    const OutputStatus stalled = stateOf(states, "stalled");
    EXPECT_EQ(stalled.queued, 1024u);
    EXPECT_EQ(stalled.dropped, kRecordsIn30s - 1 - 1024) << "one taken, 1024 queued, the rest turned away";
    const OutputStatus throwing = stateOf(states, "throwing");
    EXPECT_TRUE(throwing.failed);
    EXPECT_EQ(throwing.error, "the broker went away");
    EXPECT_EQ(throwing.sent, 2u);
    EXPECT_EQ(throwing.dropped, kRecordsIn30s - 2);

    held = false;
    states = fanout.finish(Clock::now() + 10s);
    EXPECT_FALSE(stateOf(states, "stalled").failed);
    EXPECT_EQ(stateOf(states, "stalled").sent, 1025u);

    // The live output took everything in the order published, the statuses in their places.
    std::vector<long long> published;
    for (long long k = 0; k < static_cast<long long>(kRecordsIn30s); ++k) {
        if (k == static_cast<long long>(kRecordsIn30s / 2)) published.push_back(-1);
        published.push_back(k);
    }
    published.insert(published.end(), {-1, -1});
    EXPECT_EQ(liveTook.items, published);
    EXPECT_EQ(liveTook.statuses, (std::vector<std::string>{"lost", "older", "newest"}));
    // The stalled one: the first 1025 records, then only the newest status, which waited beside its queue.
    ASSERT_EQ(stalledTook.items.size(), 1026u);
    for (long long k = 0; k < 1025; ++k) ASSERT_EQ(stalledTook.items[static_cast<size_t>(k)], k);
    EXPECT_EQ(stalledTook.statuses, std::vector<std::string>{"newest"});
}

// Waits on its peer until it is cancelled.
class NeverDone : public RecordOutput {
public:
    void record(const OutputRecord&) override {
        while (!cancelled_) std::this_thread::sleep_for(1ms);
        throw std::runtime_error("cancelled");
    }
    void cancel() override { cancelled_ = true; }

private:
    std::atomic<bool> cancelled_{false};
};

TEST(RecordFanout, AnOutputThatCannotFinishByTheDeadlineIsCancelledAndSaysSo) {
    Taken took;
    RecordFanout fanout;
    fanout.attach("stuck", std::make_unique<NeverDone>());
    fanout.attach("live", std::make_unique<Collecting>(took));
    for (uint64_t k = 0; k < 5; ++k) fanout.publish(recordAt(k));
    const auto begun = Clock::now();
    const std::vector<OutputStatus> states = fanout.finish(begun + 2s);
    EXPECT_LT(Clock::now() - begun, 8s) << "the end does not wait on the stuck output";
    const OutputStatus stuck = stateOf(states, "stuck");
    EXPECT_TRUE(stuck.failed);
    EXPECT_EQ(stuck.error, "not finished by the end, 5 records not sent");
    EXPECT_EQ(stuck.dropped, 5u);
    EXPECT_EQ(stuck.sent, 0u);
    EXPECT_FALSE(stateOf(states, "live").failed);
    EXPECT_EQ(took.items, (std::vector<long long>{0, 1, 2, 3, 4}));
}

// Sends only every other record, as one whose peer comes and goes.
class HalfConnected : public RecordOutput {
public:
    void record(const OutputRecord& r) override {
        if (r.written.offset % 2) ++unsent_;
    }
    OutputHealth health() const override { return {unsent_, unsent_ < 3}; }

private:
    std::atomic<uint64_t> unsent_{0};
};

TEST(RecordFanout, RecordsAnOutputCouldNotSendCountAsDroppedWithItsConnection) {
    RecordFanout fanout;
    fanout.attach("peer", std::make_unique<HalfConnected>());
    for (uint64_t k = 0; k < 4; ++k) fanout.publish(recordAt(k));
    EXPECT_TRUE(stateOf(fanout.states(), "peer").connected.has_value());
    fanout.publish(recordAt(5));
    const OutputStatus peer = stateOf(fanout.finish(Clock::now() + 2s), "peer");
    EXPECT_EQ(peer.sent, 2u);
    EXPECT_EQ(peer.dropped, 3u);
    EXPECT_EQ(peer.connected, false);
}

}  // namespace
}  // namespace zarn
