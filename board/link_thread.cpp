#include "board/link_thread.h"

#include <cstdlib>
#include <ctime>
#include <mutex>
#include <set>


namespace zarn {
namespace {

const uint8_t kKeepAlive[2] = {0x00, 0x00};

// Threads still running at process exit are stopped before the board state goes away:
// the exit handler is registered after the board state exists, so it runs first.
std::mutex runningMutex;
std::set<LinkThread*> running;

void stopRunningThreads() {
    std::set<LinkThread*> threads;
    {
        std::lock_guard lock(runningMutex);
        threads = running;
    }
    for (LinkThread* t : threads) t->stop();
}

}  // namespace

uint32_t SystemSecondsClock::seconds() { return static_cast<uint32_t>(std::time(nullptr)); }

LinkThread::LinkThread(BoardState& board, SendSlot& slot, PortIo& port, SecondsClock& clock, RecordSink* sink)
    : board_(board), slot_(slot), port_(port), clock_(clock), parser_(board, sink) {}

LinkThread::~LinkThread() { stop(); }

void LinkThread::start() {
    if (thread_) return;
    static std::once_flag registered;
    std::call_once(registered, [] { std::atexit(stopRunningThreads); });
    thread_ = std::make_unique<WorkerThread>([this](const WorkerThread& self) {
        begin();
        while (!self.stopRequested()) pass();
    });
    {
        std::lock_guard lock(runningMutex);
        running.insert(this);
    }
    thread_->resume();
}

void LinkThread::stop() {
    if (!thread_) return;
    thread_->join();
    std::lock_guard lock(runningMutex);
    running.erase(this);
}

bool LinkThread::waitForRequest(uint32_t waitMs) {
    return slot_.event().wait(waitMs) == WaitResult::Signalled;
}

double LinkThread::cpuSeconds() const { return thread_ ? thread_->cpuSeconds() : 0.0; }

void LinkThread::begin() {
    parser_.restart();
    readCount_ = readPos_ = 0;
}

void LinkThread::pass() {
    if (readPos_ == readCount_) {
        readPos_ = 0;
        readCount_ = port_.valid() ? port_.readBytes(readBuffer_, kReadChunk) : 0;
    }
    const bool haveByte = readPos_ < readCount_;
    if (!haveByte || parser_.delivered()) idlePass(haveByte ? 0 : kIdleWaitMs);
    if (haveByte) {
        if (parser_.feed(readBuffer_[readPos_++]) == FrameParser::Feed::Delivered)
            framesDecoded_.fetch_add(1, std::memory_order_relaxed);
        lastActivity_ = now_;
    }
}

// Writes what is waiting: a copy taken under the slot's guard, so a request stored
// meanwhile stays signalled for the next look. Only a delivered frame is released here:
// paced bytes come a few at a time, and an empty read in the middle of a frame must not
// abandon it.
void LinkThread::idlePass(uint32_t waitMs) {
    parser_.release();
    while (waitForRequest(waitMs)) {
        uint8_t copy[SendSlot::kCapacity];
        const uint32_t length = slot_.take(copy);
        lastActivity_ = now_;
        if (length && port_.valid()) port_.writeBytes(copy, length);
    }
    now_ = clock_.seconds();
    if (now_ > lastActivity_ + kKeepAliveAfter) {
        slot_.storeIfEmpty(kKeepAlive, sizeof kKeepAlive);
        lastActivity_ = now_;
    }
}

}  // namespace zarn
