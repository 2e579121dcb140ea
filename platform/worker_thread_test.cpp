#include "platform/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace zarn;

TEST(WorkerThread, DoesNothingUntilResumed) {
    std::atomic<int> runs{0};
    WorkerThread t([&](const WorkerThread&) { ++runs; });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(runs.load(), 0);
    t.resume();
    t.join();
    EXPECT_EQ(runs.load(), 1);
}

TEST(WorkerThread, NeverResumedEndsWithoutRunning) {
    std::atomic<int> runs{0};
    {
        WorkerThread t([&](const WorkerThread&) { ++runs; });
    }
    EXPECT_EQ(runs.load(), 0);
}

TEST(WorkerThread, DestructorStopsALoopingProcedure) {
    std::atomic<bool> ended{false};
    {
        WorkerThread t([&](const WorkerThread& self) {
            while (!self.stopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ended = true;
        });
        t.resume();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(ended.load());
}
