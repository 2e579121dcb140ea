#pragma once
// LinkThread: the one thread that owns the board's serial traffic. It feeds every byte
// read to the frame parser, writes waiting requests, and queues the two-byte keep-alive
// after more than 10 s without traffic (at start at once). It sleeps up to 10 ms only
// when a read brought nothing, so a stream of frames is decoded at line rate.
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
// resumes it; stop() (also the destructor, and process exit) ends it and waits, so the
// board state is never touched after the thread is gone.

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
};

struct SystemSecondsClock : SecondsClock {
    uint32_t seconds() override;
};

class LinkThread {
public:
    static constexpr uint32_t kReadChunk = 256;
    static constexpr uint32_t kIdleWaitMs = 10;
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
    // Waits up to waitMs for a request to write; tests watch the waits here.
    virtual bool waitForRequest(uint32_t waitMs);

private:
    enum class Board { Up, Lost, Asked };  // Asked: a port found again, no answer on it yet

    void idlePass(uint32_t waitMs);
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
    std::atomic<uint64_t> framesDecoded_{0};
    std::unique_ptr<WorkerThread> thread_;
};

}  // namespace zarn
