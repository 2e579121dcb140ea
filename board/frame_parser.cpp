#include "board/frame_parser.h"

#include <atomic>
#include <cstring>

#include "board/request_frame.h"
#include "board/sweep_decoder.h"
#include "board/log_records.h"

namespace zarn {

namespace {

// Receive storage, used only by the link thread.
uint8_t receiveBuffer[kReceiveBufferSize];
uint16_t receiveLength = 0;
uint8_t frameType = 0;

// Decoder statics.
uint8_t decoderBusy = 0;
int16_t lastSlotReported = 0;

std::atomic<RecordSink*> recordSink{nullptr};

// Every byte past the payload reads as zero, as if the whole buffer had been
// cleared; only the bytes the previous frame stored need clearing.
void startPayload() {
    std::memset(receiveBuffer, 0, receiveLength);
    receiveLength = 0;
}

void store(uint8_t b) { receiveBuffer[receiveLength++] = b; }

}  // namespace

void setLogRecordSink(RecordSink* sink) { recordSink = sink; }
RecordSink* logRecordSink() { return recordSink; }

void resetFrameParser() {
    std::memset(receiveBuffer, 0, sizeof receiveBuffer);
    receiveLength = 0;
    frameType = 0;
    decoderBusy = 0;
    lastSlotReported = 0;
    resetSweepDecoder();
}

int feedByte(BoardState& board, uint8_t b) {
    uint16_t& state = board.parserState;
    switch (state) {
    case kParserIdle:
    case 1:
        state = b == kFrameMark ? kParserStart : kParserIdle;
        break;
    case kParserStart:
        state = b == kFrameStart ? kParserType : kParserIdle;
        break;
    case kParserType:
        frameType = b;
        if (b == kFrameMark) {
            state = kParserTypeEscape;
        } else {
            startPayload();
            state = kParserData;
        }
        break;
    case kParserTypeEscape:
        startPayload();
        state = kParserData;
        break;
    case kParserData:
        // The limit stops plain bytes only: an escaped 0x11 may still be byte 4097.
        if (b == kFrameMark) {
            state = kParserDataEscape;
        } else if (receiveLength >= kMaxStoredPayload) {
            state = kParserIdle;
        } else {
            store(b);
        }
        break;
    case kParserDataEscape:
        if (b == kFrameEnd) {
            state = kParserDelivered;
            decodeFrame(board, frameType, receiveBuffer, receiveLength);
        } else if (b == kFrameEscape && receiveLength <= kMaxStoredPayload) {
            store(kFrameMark);
            state = kParserData;
        } else {
            state = kParserIdle;
        }
        break;
    case kParserDelivered:
        break;
    default:
        state = kParserIdle;  // a state no transition leads to
        break;
    }
    return 1;
}

namespace {

// Payload readers that see zeros past the end, like the cleared buffer.
uint8_t byteAt(const uint8_t* p, uint16_t n, int i) { return i < n ? p[i] : 0; }
uint16_t u16At(const uint8_t* p, uint16_t n, int i) {
    return static_cast<uint16_t>(byteAt(p, n, i) | (byteAt(p, n, i + 1) << 8));
}
uint32_t u32At(const uint8_t* p, uint16_t n, int i) {
    return u16At(p, n, i) | (static_cast<uint32_t>(u16At(p, n, i + 2)) << 16);
}
void copyBlock(uint8_t* to, int size, const uint8_t* p, uint16_t n, int from) {
    for (int i = 0; i < size; ++i) to[i] = byteAt(p, n, from + i);
}

// A text ends at its NUL or at the end of the payload; at most 31 are kept.
void copyText(char (&to)[32], const uint8_t* p, uint16_t n) {
    int i = 0;
    for (; i < 31 && i < n && p[i] != 0; ++i) to[i] = static_cast<char>(p[i]);
    to[i] = '\0';
}

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
}

void applyTableLevel(BoardState& board, uint8_t slot, int16_t value) {
    setLevel(board, slot == 0 ? 0 : 1, value);
    if (slot < lastSlotReported) board.logRecordPending = 1;
    lastSlotReported = slot;
    if (slot < kChannelSlots) board.channelTable[slot].level = value;
}

// Applies one reply; returns the repaint flag.
int applyReply(BoardState& board, uint8_t t, const uint8_t* p, uint16_t n) {
    switch (t) {
    case 1:
        copyText(board.firmwareVersion, p, n);
        board.postRequest(2, nullptr, 0);
        return 1;
    case 2:
        copyText(board.serialNumber, p, n);
        return 1;
    case 3:
        copyBlock(board.reply3Block, byteAt(p, n, 0) == 2 ? 24 : 12, p, n, 1);
        return 1;
    case 8:
    case 11:
        board.boardMode = byteAt(p, n, 0);
        board.modeName = modeLabel(board.boardMode, board.modeName);
        return 1;
    case 9:
        board.reportedBand = byteAt(p, n, 0);
        return 1;
    case 10:
        board.commandedStep = u32At(p, n, 0);
        return 1;
    case 13:
    case 21:
    case 22:
        return 1;
    case 14:
        setLevel(board, board.reportedBand == 0 ? 0 : 1, static_cast<int16_t>(u16At(p, n, 0)));
        return 1;
    case 15:
        applyTableLevel(board, byteAt(p, n, 0), static_cast<int16_t>(u16At(p, n, 1)));
        return 1;
    case 16:
        copyBlock(board.reply16Block, 24, p, n, 4);
        return 1;
    case 18:
        copyBlock(board.reply18Block, 97, p, n, 0);
        return 1;
    case 33:
        if (n != 5) return 0;
        return applySweepSample(board, u16At(p, n, 0), static_cast<int16_t>(u16At(p, n, 2)));
    default:
        return 0;
    }
}

}  // namespace

void decodeFrame(BoardState& board, uint8_t t, const uint8_t* p, uint16_t n) {
    if (decoderBusy) return;
    decoderBusy = 1;
    const int repaint = applyReply(board, t, p, n);
    if (board.logging == 1) {
        if (RecordSink* sink = recordSink.load()) {
            if (stageLogRecord(board, *sink, t, p, n) && board.notifyWindow)
                board.notifyWindow->postMessage(WM_LOG_RECORD);
        }
    }
    if (t < kReplyEvents) board.replyEvents[t].pulse();
    if (repaint && board.repaintEnabled && board.notifyWindow) board.notifyWindow->postMessage(WM_BOARD_UPDATE);
    decoderBusy = 0;
}

}  // namespace zarn
