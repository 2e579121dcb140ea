#include "platform/worker_thread.h"

#include <pthread.h>
#include <time.h>

namespace zarn {

WorkerThread::WorkerThread(std::function<void(const WorkerThread&)> procedure, std::string name)
    : procedure_(std::move(procedure)), name_(std::move(name)), thread_([this] { body(); }) {}

WorkerThread::~WorkerThread() { join(); }

void WorkerThread::body() {
    if (!name_.empty()) pthread_setname_np(pthread_self(), name_.substr(0, 15).c_str());
    {
        std::unique_lock lock(mutex_);
        started_.wait(lock, [this] { return resumed_ || stop_.load(); });
        if (!resumed_) return;
        running_ = true;
    }
    procedure_(*this);
    running_ = false;
}

void WorkerThread::resume() {
    std::lock_guard lock(mutex_);
    resumed_ = true;
    started_.notify_all();
}

void WorkerThread::requestStop() {
    std::lock_guard lock(mutex_);
    stop_ = true;
    started_.notify_all();
}

void WorkerThread::join() {
    requestStop();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

double WorkerThread::cpuSeconds() const {
    if (!running_) return 0.0;
    clockid_t clock;
    timespec ts {};
    auto handle = const_cast<std::thread&>(thread_).native_handle();
    if (pthread_getcpuclockid(handle, &clock) != 0 || clock_gettime(clock, &ts) != 0) return 0.0;
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

}  // namespace zarn
