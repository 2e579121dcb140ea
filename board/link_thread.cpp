#include "board/link_thread.h"

#include <errno.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>
#include <string>

#include "board/frame_types.h"

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

// Both from one clock, so a wait that ends at a second's start finds seconds() there.
uint32_t SystemSecondsClock::seconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<uint32_t>(now.tv_sec);
}

uint32_t SystemSecondsClock::millisecondsUntil(uint32_t second) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const uint32_t whole = static_cast<uint32_t>(now.tv_sec);
    if (second <= whole) return 0;
    const uint64_t ms = uint64_t{second - whole} * 1000 - static_cast<uint64_t>(now.tv_nsec) / 1000000;
    return static_cast<uint32_t>(std::min<uint64_t>(ms + 1, UINT32_MAX));  // + 1: not a moment early
}

LinkThread::LinkThread(BoardState& board, SendSlot& slot, PortIo& port, SecondsClock& clock, RecordSink* sink)
    : board_(board), slot_(slot), port_(port), clock_(clock), parser_(board, sink) {}

LinkThread::~LinkThread() { stop(); }

void LinkThread::start() {
    if (thread_) return;
    static std::once_flag registered;
    std::call_once(registered, [] { std::atexit(stopRunningThreads); });
    stopping_ = false;
    thread_ = std::make_unique<WorkerThread>(
        [this](const WorkerThread& self) {
            begin();
            while (!self.stopRequested()) pass();
        },
        "zarn-link");
    {
        std::lock_guard lock(runningMutex);
        running.insert(this);
    }
    thread_->resume();
}

void LinkThread::stop() {
    if (!thread_) return;
    stopping_ = true;
    thread_->requestStop();
    slot_.wake();
    thread_->join();
    std::lock_guard lock(runningMutex);
    running.erase(this);
}

bool LinkThread::waitForRequest(uint32_t waitMs, bool watchPort) {
    const PollableEvent::Woken woken = slot_.event().wait(waitMs, watchPort ? port_.pollDescriptor() : -1);
    portWoke_ = woken == PollableEvent::Woken::Descriptor;
    return woken == PollableEvent::Woken::Event;
}

double LinkThread::cpuSeconds() const { return thread_ ? thread_->cpuSeconds() : 0.0; }

void LinkThread::begin() {
    lastFrame_ = now_ = clock_.seconds();
    parser_.restart();
    readCount_ = readPos_ = 0;
}

void LinkThread::pass() {
    if (readPos_ == readCount_) {
        readPos_ = readCount_ = 0;
        if (port_.valid()) {
            const int got = port_.readBytes(readBuffer_, kReadChunk);
            if (got < 0) portFailed(-got);
            else readCount_ = static_cast<uint32_t>(got);
            emptyReads_ = got > 0 ? 0 : static_cast<uint8_t>(std::min(emptyReads_ + 1, 2));
            shortWait_ = got <= 0 && (emptyReads_ == 1 || portWoke_);
        }
        portWoke_ = false;
    }
    const bool haveByte = readPos_ < readCount_;
    if (!haveByte || parser_.delivered()) idlePass(!haveByte);
    if (haveByte) {
        if (parser_.feed(readBuffer_[readPos_++]) == FrameParser::Feed::Delivered) frameDecoded();
        lastActivity_ = now_;
    }
}

// The keep-alive, the silence limit and the next look are due at whole seconds.
uint32_t LinkThread::millisecondsToNextDue() {
    uint32_t due = lastActivity_ + kKeepAliveAfter + 1;
    if (boardSeen_ == Board::Up && silenceLimit_ && port_.valid()) due = std::min(due, lastFrame_ + silenceLimit_);
    if (boardSeen_ != Board::Up) due = std::min(due, lastLook_ + kLookAgainAfter);
    return std::min(clock_.millisecondsUntil(due), kLongestWaitMs);
}

// Writes what is waiting: a copy taken under the slot's guard, so a request stored
// meanwhile stays signalled for the next look. When it may wait (the read brought
// nothing) it first sleeps until the port has something, a request comes or something is
// due; in a stream, or after the port woke it for nothing, it waits for a request 10 ms at
// most instead. Only a delivered frame is released here: paced bytes come a few at a time,
// and an empty read in the middle of a frame must not abandon it.
void LinkThread::idlePass(bool mayWait) {
    parser_.release();
    uint32_t waitMs = 0;
    if (mayWait) waitMs = shortWait_ ? std::min(kIdleWaitMs, millisecondsToNextDue()) : millisecondsToNextDue();
    const bool watchPort = mayWait && !shortWait_ && port_.valid();
    shortWait_ = false;
    while (!stopping_ && waitForRequest(waitMs, watchPort)) {
        uint8_t copy[SendSlot::kCapacity];
        const uint32_t length = slot_.take(copy);
        waitMs = 0;  // what came next is the next pass's
        lastActivity_ = now_;
        if (!length || !port_.valid()) continue;
        const int result = port_.writeBytes(copy, length);
        if (result < 0) portFailed(-result);
    }
    now_ = clock_.seconds();
    if (now_ > lastActivity_ + kKeepAliveAfter) {
        slot_.storeIfEmpty(kKeepAlive, sizeof kKeepAlive);
        lastActivity_ = now_;
    }
    // Once the board's own serial-number request is on the line, the frame's requests may follow.
    if (announceAnswer_ && !slot_.pending()) {
        announceAnswer_ = false;
        post(WM_BOARD_ANSWERED);
    }
    if (boardSeen_ == Board::Up && silenceLimit_ && port_.valid() && now_ >= lastFrame_ + silenceLimit_)
        boardLost("no frame for " + std::to_string(silenceLimit_) + " s");
    if (boardSeen_ != Board::Up && now_ >= lastLook_ + kLookAgainAfter) lookForBoard();
}

void LinkThread::post(uint32_t message) {
    if (board_.notifyWindow) board_.notifyWindow->postMessage(message);
}

void LinkThread::portFailed(int error) {
    if (error != EIO && error != ENXIO && error != ENODEV) return;  // the device is still there
    boardLost(std::string("its port failed (") + std::strerror(error) + ")");
}

void LinkThread::boardLost(const std::string& why) {
    const std::string name = port_.name();
    port_.close();
    parser_.restart();  // a frame cut short is no frame
    parser_.forgetMeasurements();
    lastLook_ = clock_.seconds();
    announceAnswer_ = false;
    if (boardSeen_ != Board::Up) {  // a port found again failed: still lost
        boardSeen_ = Board::Lost;
        return;
    }
    boardSeen_ = Board::Lost;
    board_.boardLost = true;
    std::fprintf(stderr, "%s: the board on %s is lost: %s; looking for it every %u s\n", program_invocation_short_name,
                 name.c_str(), why.c_str(), kLookAgainAfter);
    post(WM_BOARD_LOST);
}

// Reopening brings the board up as at start-up: its version first; the decoder asks for
// the serial number when the version comes.
void LinkThread::lookForBoard() {
    lastLook_ = now_;
    if (!port_.reopen()) {
        boardSeen_ = Board::Lost;
        return;
    }
    boardSeen_ = Board::Asked;
    parser_.restart();
    board_.postRequest(typeCode(RequestType::Version), nullptr, 0);
}

void LinkThread::frameDecoded() {
    framesDecoded_.fetch_add(1, std::memory_order_relaxed);
    lastFrame_ = now_;
    if (boardSeen_ != Board::Asked) return;
    boardSeen_ = Board::Up;
    board_.boardLost = false;
    announceAnswer_ = true;
    std::fprintf(stderr, "%s: the board answers again on %s\n", program_invocation_short_name,
                 port_.name().c_str());
}

}  // namespace zarn
