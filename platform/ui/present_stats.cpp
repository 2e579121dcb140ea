#include "platform/ui/present_stats.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace zarn::present_stats {

namespace {

constexpr size_t kBuckets = 1000;  // whole milliseconds; the last one holds longer waits

class Recorder {
public:
    explicit Recorder(std::string path) : path_(std::move(path)), writer_([this] { loop(); }) {}
    ~Recorder() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        writer_.join();
        if (fd_ >= 0) ::close(fd_);
    }

    void painted() {
        std::lock_guard lock(mutex_);
        ++paints_;
        changed();
    }

    void updateHandled(uint64_t postedUs) {
        std::lock_guard lock(mutex_);
        ++updates_;
        changed();
        if (!unshownSince_ || postedUs < unshownSince_) unshownSince_ = postedUs;
    }

    void nothingToShow() {
        std::lock_guard lock(mutex_);
        unshownSince_ = 0;
    }

    void presented() {
        const uint64_t now = nowUs();
        std::lock_guard lock(mutex_);
        ++presents_;
        changed();
        if (!unshownSince_) return;
        const uint64_t waited = now > unshownSince_ ? now - unshownSince_ : 0;
        unshownSince_ = 0;
        if (waited > longestUs_) longestUs_ = waited;
        ++histogram_[std::min<uint64_t>(waited / 1000, kBuckets - 1)];
    }

private:
    // Under the lock. Only a writer waiting for a change is woken, and only once.
    void changed() {
        changed_ = true;
        if (!waitingForChange_) return;
        waitingForChange_ = false;
        wake_.notify_all();
    }

    void loop() {
        std::unique_lock lock(mutex_);
        write();
        while (!stop_) {
            waitingForChange_ = true;
            wake_.wait(lock, [this] { return stop_ || changed_; });
            waitingForChange_ = false;
            changed_ = false;
            write();
            wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stop_; });
        }
        write();
    }

    // Rewritten in place, two system calls: the reader takes a look that
    // does not end in "end" as torn and looks again.
    void write() {
        if (fd_ < 0) fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0) return;
        text_.clear();
        append("presents", presents_);
        append("paints", paints_);
        append("updates", updates_);
        append("latency_us", longestUs_);
        for (size_t b = 0; b < kBuckets; ++b)
            if (histogram_[b]) append("latency_ms " + std::to_string(b), histogram_[b]);
        text_ += "end\n";
        if (::pwrite(fd_, text_.data(), text_.size(), 0) != static_cast<ssize_t>(text_.size())) return;
        // A tail left from a longer look lies past this look's "end", where no reader goes:
        // the look stands, but the file is no longer what it says, which is said once.
        if (::ftruncate(fd_, static_cast<off_t>(text_.size())) != 0 && !truncateFailed_) {
            truncateFailed_ = true;
            std::fprintf(stderr, "ZARN_STATS %s: cannot cut the file to its look: %s\n", path_.c_str(),
                         std::strerror(errno));
        }
    }

    void append(const std::string& key, uint64_t value) { text_ += key + " " + std::to_string(value) + "\n"; }

    const std::string path_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool changed_ = false;
    bool waitingForChange_ = false;
    bool truncateFailed_ = false;
    uint64_t paints_ = 0;
    uint64_t presents_ = 0;
    uint64_t updates_ = 0;
    uint64_t unshownSince_ = 0;
    uint64_t longestUs_ = 0;
    std::array<uint64_t, kBuckets> histogram_{};
    int fd_ = -1;
    std::string text_;
    std::thread writer_;  // last: starts once everything above exists
};

Recorder* startRecorder() {
    const char* path = std::getenv("ZARN_STATS");
    return path && *path ? new Recorder(path) : nullptr;
}

std::atomic<Recorder*> theRecorder{startRecorder()};

// Stopped, and the file written a last time, when the program ends.
struct Finaliser {
    ~Finaliser() { delete theRecorder.exchange(nullptr); }
} finaliser;

Recorder* recorder() { return theRecorder.load(std::memory_order_acquire); }

}  // namespace

bool enabled() { return recorder() != nullptr; }

uint64_t nowUs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void painted() {
    if (Recorder* r = recorder()) r->painted();
}
void updateHandled(uint64_t postedUs) {
    if (Recorder* r = recorder()) r->updateHandled(postedUs);
}
void nothingToShow() {
    if (Recorder* r = recorder()) r->nothingToShow();
}
void presented() {
    if (Recorder* r = recorder()) r->presented();
}

}  // namespace zarn::present_stats
