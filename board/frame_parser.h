#pragma once
// FrameParser: the receive state machine and the frame decoder of one link.
//
// feed() advances the machine by one byte. At a frame's end it decodes the frame: the
// reply changes the board state, a log record is staged while logging, the reply event
// of the frame's type is pulsed and WM_BOARD_UPDATE posted. A delivered frame holds the
// machine, which ignores every byte, until release(). The machine's state is kept in the
// board state's parserState; only the parser reads or writes it.

#include <cstdint>

#include "board/board_state.h"

namespace zarn {

enum class ParserState : uint16_t {
    Idle = 0,
    Start = 2,       // 0x11 seen
    Type = 3,        // 0x11 0x12 seen, the type comes next
    Data = 4,
    DataEscape = 5,  // 0x11 inside the payload
    Delivered = 6,
    TypeEscape = 7,  // the type was 0x11: its escape byte comes next
};

constexpr int kReceiveBufferSize = 8192;
constexpr int kMaxLogPayload = 10000;

// Where the decoder stages log records: the log-file object.
struct RecordSink {
    virtual ~RecordSink() = default;
    virtual void setPendingRecord(uint8_t type, const uint8_t* bytes, int length) = 0;
};

class FrameParser {
public:
    enum class Feed { Pending, Delivered, Abandoned };
    enum class Abandon { None, PayloadTooLong, BadEscape };

    // Records go to `sink` while the board state says it is logging; none without one.
    explicit FrameParser(BoardState& board, RecordSink* sink = nullptr);
    FrameParser(const FrameParser&) = delete;
    FrameParser& operator=(const FrameParser&) = delete;

    // Pending: the byte was taken (or ignored: noise, or a frame not yet released).
    Feed feed(uint8_t byte);
    // Why the last abandoned frame was dropped.
    Abandon abandonReason() const { return abandonReason_; }
    bool delivered() const { return state() == ParserState::Delivered; }
    // Lets the machine look for the next frame after a delivered one.
    void release() {
        if (delivered()) setState(ParserState::Idle);
    }
    // Back to idle whatever the state: a frame cut short by a new start is dropped.
    void restart() { setState(ParserState::Idle); }
    // The board is lost: what it measured is no measurement once it answers again. The next
    // table pass and sweep start afresh, and nothing from before goes into a record; what
    // the screens show stays.
    void forgetMeasurements();

private:
    ParserState state() const { return static_cast<ParserState>(board_.parserState); }
    void setState(ParserState s) { board_.parserState = static_cast<uint16_t>(s); }
    // The rare steps stay out of feed(), which then needs no stack frame for the common byte.
    [[gnu::noinline]] Feed startPayload();
    [[gnu::noinline]] Feed deliver();
    [[gnu::noinline]] Feed abandon(Abandon reason);
    void decode();
    int applyReply(bool& staged);
    int sweepSample(bool& staged);
    [[gnu::noinline]] bool endSweep();  // once a sweep, out of the way of every sample
    [[gnu::noinline]] void takeUpSweep(uint16_t offset);
    void applyTableLevel(uint8_t slot, int16_t value);
    bool stageRecord();

    BoardState& board_;
    RecordSink* const sink_;
    uint8_t buffer_[kReceiveBufferSize] = {};  // zero past the payload, as if cleared whole
    uint16_t length_ = 0;
    uint8_t type_ = 0;
    uint8_t busy_ = 0;
    int16_t lastSlotReported_ = 0;
    uint8_t sampleCounter_ = 0;
    bool sweepAfresh_ = false;
    Abandon abandonReason_ = Abandon::None;
};

}  // namespace zarn
