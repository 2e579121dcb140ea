#include "board/frame_parser.h"

#include <cstring>

#include "board/frame_types.h"
#include "board/little_endian.h"
#include "board/log_records.h"
#include "board/request_frame.h"
#include "board/sweep_decoder.h"

namespace zarn {

FrameParser::FrameParser(BoardState& board, RecordSink* sink) : board_(board), sink_(sink) {}

// Only the bytes the previous frame stored need clearing to keep the buffer zero past the payload.
FrameParser::Feed FrameParser::startPayload() {
    std::memset(buffer_, 0, length_);
    length_ = 0;
    setState(ParserState::Data);
    return Feed::Pending;
}

FrameParser::Feed FrameParser::deliver() {
    setState(ParserState::Delivered);
    decode();
    return Feed::Delivered;
}

FrameParser::Feed FrameParser::abandon(Abandon reason) {
    abandonReason_ = reason;
    setState(ParserState::Idle);
    return Feed::Abandoned;
}

FrameParser::Feed FrameParser::feed(uint8_t b) {
    switch (state()) {
    case ParserState::Start:
        setState(b == kFrameStart ? ParserState::Type : ParserState::Idle);
        break;
    case ParserState::Type:
        type_ = b;
        if (b != kFrameMark) return startPayload();
        setState(ParserState::TypeEscape);
        break;
    case ParserState::TypeEscape:
        return startPayload();
    case ParserState::Data:
        // The limit stops plain bytes only: an escaped 0x11 may still be byte 4097.
        if (b == kFrameMark) {
            setState(ParserState::DataEscape);
        } else if (length_ >= kMaxStoredPayload) {
            return abandon(Abandon::PayloadTooLong);
        } else {
            buffer_[length_++] = b;
        }
        break;
    case ParserState::DataEscape:
        if (b == kFrameEnd) return deliver();
        if (b != kFrameEscape) return abandon(Abandon::BadEscape);
        if (length_ > kMaxStoredPayload) return abandon(Abandon::PayloadTooLong);
        buffer_[length_++] = kFrameMark;
        setState(ParserState::Data);
        break;
    case ParserState::Delivered:
        break;
    case ParserState::Idle:
    default:  // no transition leads anywhere else; state 1 has always behaved as idle
        setState(b == kFrameMark ? ParserState::Start : ParserState::Idle);
        break;
    }
    return Feed::Pending;
}

namespace {

// A text ends at its NUL or at the end of the payload; at most 31 are kept.
void copyText(char (&to)[32], const uint8_t* p, uint16_t n) {
    int i = 0;
    for (; i < 31 && i < n && p[i] != 0; ++i) to[i] = static_cast<char>(p[i]);
    to[i] = '\0';
}

void keepReply(BoardReply& to, const uint8_t* p, uint16_t n) {
    std::memcpy(to.bytes, p, n);
    to.length = n;
    to.answered = true;
}

uint32_t u32At(const uint8_t* p) { return u16At(p) | (static_cast<uint32_t>(u16At(p + 2)) << 16); }

const char* modeLabel(uint8_t mode, const char* previous) {
    switch (mode) {
    case 0: return "Idle Mode";
    case 1: return previous;
    case 2: return "Short Table Mode";
    case 3: return "Long Table Mode";
    case 4: return "Single Shot Mode";
    case 5: return previous;
    case 0xF0: return "Cal Data Mode";
    default: return "Unregistered Mode";
    }
}

void setLevel(BoardState& board, int band, int16_t value) {
    board.level[band] = value;
    board.levelFresh[band] = 1;
    board.levelMeasured[band] = 1;
}

}  // namespace

void FrameParser::applyTableLevel(uint8_t slot, int16_t value) {
    setLevel(board_, slot == 0 ? 0 : 1, value);
    if (slot < lastSlotReported_) board_.logRecordPending = 1;
    lastSlotReported_ = slot;
    if (slot >= kChannelSlots) return;
    board_.channelTable[slot].level = value;
    board_.slotsMeasured |= uint64_t{1} << slot;
}

// The capture is left as if never filled; the sweep is taken up again at the next sample.
void FrameParser::forgetMeasurements() {
    lastSlotReported_ = 0;
    board_.logRecordPending = 0;
    board_.levelMeasured[0] = board_.levelMeasured[1] = 0;
    board_.slotsMeasured = 0;
    std::memset(board_.sweepCapture, 0, sizeof board_.sweepCapture);
    sweepAfresh_ = true;
}

// The first sample after a loss begins a sweep without ending one: the part from before is
// neither logged nor ranked. Trace 1, which the best servers are ranked from, starts empty
// unless the spectrum shows it.
void FrameParser::takeUpSweep(uint16_t offset) {
    sweepAfresh_ = false;
    sampleCounter_ = 0;
    board_.sweepPosition = offset;
    if (board_.screenMode != kModeSpectrum) resetTrace(board_.traces[1]);
}

bool FrameParser::stageRecord() {
    return board_.logging == 1 && sink_ && stageLogRecord(board_, *sink_, type_, buffer_, length_);
}

// The finished sweep's record, before the sample that starts the next one lands in its capture.
bool FrameParser::endSweep() {
    board_.logRecordPending = 1;
    return board_.screenMode == kModeSpectrum && stageRecord();
}

int FrameParser::sweepSample(bool& staged) {
    const uint16_t offset = sampleOffset(u16At(buffer_));
    if (sweepAfresh_) takeUpSweep(offset);
    if (startsNewSweep(board_, offset)) staged = endSweep();
    applySweepSample(board_, offset, i16At(buffer_ + 2));
    if (++sampleCounter_ < 5) return 0;
    sampleCounter_ = 0;
    return 1;
}

// The payload reads as zeros past its end (the buffer is), so short payloads need no checks.
int FrameParser::applyReply(bool& staged) {
    const uint8_t* p = buffer_;
    switch (static_cast<ReplyType>(type_)) {
    case ReplyType::Version:
        copyText(board_.firmwareVersion, p, length_);
        keepReply(board_.versionReply, p, length_);
        board_.postRequest(typeCode(RequestType::Serial), nullptr, 0);
        return 1;
    case ReplyType::Serial:
        copyText(board_.serialNumber, p, length_);
        keepReply(board_.serialReply, p, length_);
        return 1;
    case ReplyType::Block3:
        std::memcpy(board_.reply3Block, p + 1, p[0] == 2 ? 24 : 12);
        return 1;
    case ReplyType::Mode:
    case ReplyType::ModeReport:
        board_.boardMode = p[0];
        board_.modeName = modeLabel(board_.boardMode, board_.modeName);
        return 1;
    case ReplyType::Band:
        board_.reportedBand = p[0];
        return 1;
    case ReplyType::Tune:
        board_.commandedStep = u32At(p);
        return 1;
    case ReplyType::Report13:
    case ReplyType::SweepParameters:
    case ReplyType::Report22:
        return 1;
    case ReplyType::SingleLevel:
        setLevel(board_, board_.reportedBand == 0 ? 0 : 1, i16At(p));
        return 1;
    case ReplyType::TableLevel:
        applyTableLevel(p[0], i16At(p + 1));
        return 1;
    case ReplyType::Block16:
        std::memcpy(board_.reply16Block, p + 4, sizeof board_.reply16Block);
        return 1;
    case ReplyType::Block18:
        std::memcpy(board_.reply18Block, p, sizeof board_.reply18Block);
        return 1;
    case ReplyType::SweepSample:
        return length_ == 5 ? sweepSample(staged) : 0;
    default:
        return 0;
    }
}

void FrameParser::decode() {
    if (busy_) return;
    busy_ = 1;
    bool staged = false;
    const int repaint = applyReply(staged);
    if (!staged) staged = stageRecord();
    if (staged && board_.notifyWindow) board_.notifyWindow->postMessage(WM_LOG_RECORD);
    if (type_ < kReplyEvents) board_.replyEvents[type_].pulse();
    if (repaint && board_.repaintEnabled && board_.notifyWindow) board_.notifyWindow->postMessage(WM_BOARD_UPDATE);
    busy_ = 0;
}

}  // namespace zarn
