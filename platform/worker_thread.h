#pragma once
// WorkerThread: a thread that is created suspended and runs its procedure once resumed.
//
//  - WorkerThread(procedure, name): the thread exists but waits; nothing of the procedure
//    runs. A name (at most 15 characters) is what tools such as top show for the thread.
//  - resume(): lets the procedure start; later calls do nothing.
//  - stopRequested(): true once requestStop() was called; the procedure polls it.
//  - join(): requests the stop (a thread never resumed ends without running the
//    procedure) and waits for the end. The destructor joins, so a WorkerThread never
//    leaves a joinable thread behind.
//  - cpuSeconds(): processor time the thread has used so far (0 once it has ended).

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace zarn {

class WorkerThread {
public:
    explicit WorkerThread(std::function<void(const WorkerThread&)> procedure, std::string name = {});
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void resume();
    void requestStop();
    bool stopRequested() const { return stop_.load(); }
    void join();
    double cpuSeconds() const;

private:
    void body();

    std::function<void(const WorkerThread&)> procedure_;
    std::string name_;
    std::mutex mutex_;
    std::condition_variable started_;
    bool resumed_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::thread thread_;
};

}  // namespace zarn
