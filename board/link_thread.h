#pragma once
// LinkThread: the one thread that owns the board's serial traffic. It feeds every byte
// read to the frame parser, writes waiting requests, and queues the two-byte keep-alive
// after more than 10 s without traffic (at start at once). When reads bring nothing it
// sleeps until there is something to do: a byte on the port, a request to write, or the
// next thing due by the clock (the keep-alive, the silence limit, the next look for a lost
// board). Within a stream of frames (a read brought nothing right after one that brought
// bytes) it waits 10 ms for a request instead, so the line is read in chunks, not byte by
// byte. One idle pass (which writes a waiting request) follows each frame decoded.
//
// A read or write that fails because the port's device has gone (EIO, ENXIO, ENODEV,
// a hang-up) means the board is lost: the port is closed, the board state marked and
// WM_BOARD_LOST posted. Every 2 s the link then looks for the board's port again and,
// when one opens, asks the board for its version; a port where nothing answers by the
// next look is given up for the next candidate. The first frame from the board brings it
// back: WM_BOARD_ANSWERED is posted once the serial-number request that reply 1 asks for
// has been written, and the main frame restarts the measurement from there. A board that
// is only silent on a working port is not lost, unless a silence limit is set: then no
// frame for that long counts as lost too (a recorder without a person watching it).
// stderr says once when the board is lost and once when it answers again.
//
// The clock and the port are given to it, so tests drive single passes without a port
// and without waiting for seconds to pass. start() creates the thread suspended and
// resumes it; stop() (also the destructor, and process exit) wakes it, ends it and waits,
// so the board state is never touched after the thread is gone.

#include <atomic>
#include <cstdint>
#include <memory>

#include "board/board_state.h"
#include "board/frame_parser.h"
#include "board/send_slot.h"
#include "board/serial_link.h"
#include "platform/worker_thread.h"

namespace zarn {

struct SecondsClock {
    virtual ~SecondsClock() = default;
    virtual uint32_t seconds() = 0;
    // How long until seconds() reaches `second`; 0 once it has.
    virtual uint32_t millisecondsUntil(uint32_t second) {
        const uint32_t now = seconds();
        return second > now ? (second - now) * 1000 : 0;
    }
};

struct SystemSecondsClock : SecondsClock {
    uint32_t seconds() override;
    uint32_t millisecondsUntil(uint32_t second) override;
};

class LinkThread {
public:
    static constexpr uint32_t kReadChunk = 256;
    static constexpr uint32_t kIdleWaitMs = 10;  // within a stream
    static constexpr uint32_t kLongestWaitMs = 11000;  // a clock set back waits no longer
    static constexpr uint32_t kKeepAliveAfter = 10;
    static constexpr uint32_t kLookAgainAfter = 2;

    // Log records the parser stages go to `sink` (none without one).
    LinkThread(BoardState& board, SendSlot& slot, PortIo& port, SecondsClock& clock, RecordSink* sink = nullptr);
    virtual ~LinkThread();
    LinkThread(const LinkThread&) = delete;
    LinkThread& operator=(const LinkThread&) = delete;

    void start();
    void stop();
    // Seconds without a frame after which a board on a working port counts as lost; 0
    // (the default) never. Set before start().
    void setSilenceLimit(uint32_t seconds) { silenceLimit_ = seconds; }

    // The procedure's steps, for tests that run the loop themselves.
    void begin();
    void pass();

    uint64_t framesDecoded() const { return framesDecoded_.load(); }
    double cpuSeconds() const;

protected:
    // Waits up to waitMs for a request to write, or for the port to have something when
    // watchPort; true when a request waits. Tests watch the waits here.
    virtual bool waitForRequest(uint32_t waitMs, bool watchPort);

private:
    enum class Board { Up, Lost, Asked };  // Asked: a port found again, no answer on it yet

    void idlePass(bool mayWait);
    uint32_t millisecondsToNextDue();
    void portFailed(int error);
    void boardLost(const std::string& why);
    void lookForBoard();
    void frameDecoded();
    void post(uint32_t message);

    BoardState& board_;
    SendSlot& slot_;
    PortIo& port_;
    SecondsClock& clock_;
    FrameParser parser_;
    uint8_t readBuffer_[kReadChunk] = {};
    uint32_t readCount_ = 0;
    uint32_t readPos_ = 0;
    uint32_t now_ = 0;
    uint32_t lastActivity_ = 0;
    uint32_t lastFrame_ = 0;
    uint32_t silenceLimit_ = 0;
    Board boardSeen_ = Board::Up;
    uint32_t lastLook_ = 0;
    bool announceAnswer_ = false;
    bool portWoke_ = false;  // the last wait ended for the port
    uint8_t emptyReads_ = 0;  // in a row, up to 2
    bool shortWait_ = false;  // the next wait is the old 10 ms look, the port not watched
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> framesDecoded_{0};
    std::unique_ptr<WorkerThread> thread_;
};

}  // namespace zarn
