#include "outputs/record_fanout.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace zarn {

// One output: its queue, its thread and its counts.
class RecordFanout::Lane {
public:
    Lane(std::string name, std::unique_ptr<RecordOutput> output, size_t capacity)
        : output_(std::move(output)), capacity_(capacity) {
        state_.name = std::move(name);
        thread_ = std::thread([this] { run(); });
    }
    ~Lane() {
        if (!thread_.joinable()) return;
        beginEnd();
        awaitEnd(std::chrono::steady_clock::now());
    }

    void put(const std::shared_ptr<const OutputRecord>& record) {
        {
            std::lock_guard lock(mutex_);
            queueWaitingStatus();
            if (state_.failed || ending_ || queue_.size() >= capacity_) {
                ++state_.dropped;
                return;
            }
            queue_.push_back({record, nullptr});
        }
        wake_.notify_one();
    }

    void put(const std::shared_ptr<const RecorderStatus>& status) {
        {
            std::lock_guard lock(mutex_);
            if (state_.failed || ending_) return;
            queueWaitingStatus();
            if (queue_.size() >= capacity_) waitingStatus_ = status;
            else queue_.push_back({nullptr, status});
        }
        wake_.notify_one();
    }

    OutputStatus state() const {
        const OutputHealth health = output_->health();
        std::lock_guard lock(mutex_);
        OutputStatus s = state_;
        s.queued = recordsQueued();
        // A record counts as sent once the output returns from it: one it is still on may be unsent already.
        const uint64_t unsent = std::min(health.unsent, s.sent);
        s.sent -= unsent;
        s.dropped += unsent;
        s.connected = health.connected;
        return s;
    }

    // No more items: the thread gives out what is queued, then finishes.
    void beginEnd() {
        {
            std::lock_guard lock(mutex_);
            ending_ = true;
        }
        wake_.notify_one();
    }

    // Cancels the output if it has not finished by `deadline`; joins the thread.
    void awaitEnd(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        if (!done_.wait_until(lock, deadline, [this] { return finished_; })) {
            const uint64_t unsent = recordsQueued() + (inRecord_ ? 1 : 0);
            fail(lock, "not finished by the end, " + std::to_string(unsent) + " records not sent");
            cancelled_ = true;
            wake_.notify_one();
            lock.unlock();
            output_->cancel();
        } else {
            lock.unlock();
        }
        thread_.join();
    }

private:
    struct Item {
        std::shared_ptr<const OutputRecord> record;
        std::shared_ptr<const RecorderStatus> status;
    };

    // With the lock held: a status that found the queue full takes the first free place,
    // ahead of anything published after it.
    void queueWaitingStatus() {
        if (!waitingStatus_ || queue_.size() >= capacity_) return;
        queue_.push_back({nullptr, std::move(waitingStatus_)});
        waitingStatus_.reset();
    }

    uint64_t recordsQueued() const {
        uint64_t n = 0;
        for (const Item& item : queue_) n += item.record != nullptr;
        return n;
    }

    // With the lock held: no more items, the queued records dropped.
    void fail(std::unique_lock<std::mutex>&, const std::string& why) {
        if (state_.failed) return;
        state_.failed = true;
        state_.error = why;
        state_.dropped += recordsQueued();
        queue_.clear();
        waitingStatus_.reset();
    }

    // The next item; false when there is none to come.
    bool next(Item& item) {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return !queue_.empty() || waitingStatus_ || ending_ || cancelled_; });
        if (cancelled_ || state_.failed) return false;
        if (!queue_.empty()) {
            item = std::move(queue_.front());
            queue_.pop_front();
        } else if (waitingStatus_) {
            item = {nullptr, std::move(waitingStatus_)};
            waitingStatus_.reset();
        } else {
            return false;  // ending, and all given out
        }
        inRecord_ = item.record != nullptr;
        return true;
    }

    // Runs `call` on the output; false (the output failed) when it threw.
    template <typename Call>
    bool guarded(Call call) {
        std::string why;
        try {
            call();
            return true;
        } catch (const std::exception& e) {
            why = e.what();
        } catch (...) {
            why = "an unknown error";
        }
        std::unique_lock lock(mutex_);
        fail(lock, why);
        return false;
    }

    void run() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
        Item item;
        bool ok = true;
        while (ok && next(item)) {
            ok = item.record ? guarded([&] { output_->record(*item.record); })
                             : guarded([&] { output_->status(*item.status); });
            std::lock_guard lock(mutex_);
            if (item.record) ++(ok ? state_.sent : state_.dropped);
            inRecord_ = false;
        }
        if (ok) {
            std::unique_lock lock(mutex_);
            const bool finishing = !cancelled_ && !state_.failed;
            lock.unlock();
            if (finishing) guarded([&] { output_->finish(); });
        }
        std::lock_guard lock(mutex_);
        finished_ = true;
        done_.notify_all();
    }

    std::unique_ptr<RecordOutput> output_;
    const size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::deque<Item> queue_;
    std::shared_ptr<const RecorderStatus> waitingStatus_;
    OutputStatus state_;
    bool ending_ = false, cancelled_ = false, finished_ = false, inRecord_ = false;
    std::thread thread_;
};

RecordFanout::RecordFanout() = default;
RecordFanout::~RecordFanout() = default;

void RecordFanout::attach(std::string name, std::unique_ptr<RecordOutput> output, size_t queuedRecords) {
    lanes_.push_back(std::make_unique<Lane>(std::move(name), std::move(output), queuedRecords));
}

bool RecordFanout::empty() const { return lanes_.empty(); }

void RecordFanout::publish(OutputRecord record) {
    if (lanes_.empty()) return;
    const auto shared = std::make_shared<const OutputRecord>(std::move(record));
    for (auto& lane : lanes_) lane->put(shared);
}

void RecordFanout::publishStatus(RecorderStatus status) {
    if (lanes_.empty()) return;
    const auto shared = std::make_shared<const RecorderStatus>(std::move(status));
    for (auto& lane : lanes_) lane->put(shared);
}

std::vector<OutputStatus> RecordFanout::states() const {
    std::vector<OutputStatus> states;
    for (const auto& lane : lanes_) states.push_back(lane->state());
    return states;
}

std::vector<OutputStatus> RecordFanout::finish(std::chrono::steady_clock::time_point deadline) {
    for (auto& lane : lanes_) lane->beginEnd();
    for (auto& lane : lanes_) lane->awaitEnd(deadline);
    std::vector<OutputStatus> final = states();
    lanes_.clear();
    return final;
}

}  // namespace zarn
