#pragma once
// BoardState: everything the receiver board has reported and everything the
// program has asked of it. One instance lives for the whole process
// (boardState()); the link thread writes the measurement members, the
// user-interface thread the settings members.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "channels/band_plan.h"
#include "platform/event.h"

namespace zarn {

constexpr uint32_t kAppMessageBase = 0x8000;  // the window system's first private message
constexpr uint32_t WM_BOARD_UPDATE = kAppMessageBase + 100;  // 0x8064
constexpr uint32_t WM_LOG_RECORD = kAppMessageBase + 101;    // 0x8065
// From the link thread: the board's port failed, and a port found again has answered.
constexpr uint32_t WM_BOARD_LOST = kAppMessageBase + 110;
constexpr uint32_t WM_BOARD_ANSWERED = kAppMessageBase + 111;

// The main frame's window, as the decoder sees it.
struct MessagePoster {
    virtual ~MessagePoster() = default;
    virtual bool postMessage(uint32_t message) = 0;
};

constexpr int kChannelSlots = 40;
constexpr int kTraceSamples = 6100;
constexpr int kTraceOffsets = 6000;     // samples 0..5999 carry band offsets in use
constexpr int16_t kEmptyLevel = -2080;  // -130 dBm
constexpr int kReplyEvents = 50;
// Plain payload bytes a frame may carry; an escaped one may still follow them.
constexpr int kMaxStoredPayload = 4096;

// Byte-packed groups that are copied into log records as they stand.
#pragma pack(push, 1)
struct ChannelSlot {
    uint8_t band;
    uint16_t channel;
    int16_t level;
};
struct SweepEntry {
    uint16_t offset;
    int16_t level;
};
struct ServerEntry {
    uint16_t offset;
    int16_t level;  // whole dBm
};
struct SpectrumTrace {
    uint8_t enabled;
    uint8_t visible;
    uint8_t hold;
    uint16_t pointCount;
    int16_t samples[kTraceSamples];
};
#pragma pack(pop)
static_assert(sizeof(ChannelSlot) == 5);
static_assert(sizeof(SweepEntry) == 4);
static_assert(sizeof(ServerEntry) == 4);
static_assert(sizeof(SpectrumTrace) == 12205);

// A reply's payload as the board sent it.
struct BoardReply {
    bool answered = false;
    uint16_t length = 0;
    uint8_t bytes[kMaxStoredPayload + 1] = {};
};

enum ScreenMode : uint8_t {
    kModeNone = 0,
    kModeSingleChannel = 216,
    kModeChannelTable = 217,
    kModeSpectrum = 218,
    kModeBestServers = 219,
};

class BoardState {
public:
    BoardState();
    virtual ~BoardState();
    BoardState(const BoardState&) = delete;
    BoardState& operator=(const BoardState&) = delete;

    // Frames a request, hands it to the serial link and waits up to 1000 ms
    // for the board's answer of the same type. False when the request cannot
    // be framed (type 50 or more, payload too long) or is abandoned, and
    // nothing was sent.
    virtual bool sendRequest(uint8_t type, const uint8_t* payload, uint16_t length);
    // The same without the wait, for the link thread: it is the one that
    // reads the answer, so waiting there would only stall the line.
    virtual bool postRequest(uint8_t type, const uint8_t* payload, uint16_t length);

    bool sendVersionRequest();
    bool sendSerialRequest();
    bool sendCode5(uint16_t value);
    bool sendMode(uint8_t mode);
    bool sendBand(uint8_t band);
    bool sendTune(uint32_t step);
    bool sendTableEntry(uint8_t slot, uint8_t band, uint16_t offset);
    bool sendSweepParameters();
    bool sendTableLength(uint8_t count);

    void setScreenMode(uint8_t value) { screenMode = value; }
    void applyServerSweep();

    // The plan of band 0 or 1; nullptr for any other band, which selects none.
    BandPlan* bandPlan(uint8_t band);
    // The plan the board's band byte selects: 0 is cellular, anything else PCS.
    BandPlan& reportedBandPlan() { return reportedBand == 0 ? cellularPlan : pcsPlan; }
    // Index 1..3 of the trace that receives samples, whatever activeTrace holds.
    int activeTraceIndex() const { return activeTrace >= 1 && activeTrace <= 3 ? activeTrace : 1; }

    MessagePoster* notifyWindow = nullptr;
    // Asked before each request and every 50 ms of its wait, on the thread that
    // sends: true abandons the wait and sends nothing until it says false, so a
    // stop is not held up by a sequence to a board that has gone silent.
    std::function<bool()> abandonRequests;
    uint8_t channelTableCount = 0;
    ChannelSlot channelTable[kChannelSlots] = {};
    // The table file's title and each slot's name, as the file gives them; never sent to the board.
    std::string channelTableTitle;
    std::string channelTableNames[kChannelSlots];
    SweepEntry sweepCapture[kTraceSamples] = {};
    ServerEntry bestServers[12] = {};
    uint8_t screenMode = kModeNone;
    std::string logFileName;
    uint8_t logging = 0;
    uint8_t logRecordPending = 0;
    uint16_t sweepStart = 1;
    uint16_t sweepCentre = 16;
    uint16_t sweepCount = 32;
    uint16_t sweepStep = 1;
    uint8_t bandIndex = 0;
    uint8_t boardMode = 0;
    uint8_t reportedBand = 0;
    uint32_t commandedStep = 0;
    uint32_t sweepPosition = 0;
    uint8_t reply3Block[24] = {};
    int16_t level[2] = {-1920, -1920};
    uint16_t markerCount = 0;
    uint8_t levelFresh[2] = {0, 0};
    uint8_t reply16Block[24] = {};
    char serialNumber[32] = "XXXXXX";
    char firmwareVersion[32] = "0.00";
    // The last version and serial-number replies whole, for a log that records them
    // (log_records.h).
    BoardReply versionReply, serialReply;
    BandPlan cellularPlan;
    BandPlan pcsPlan;
    uint8_t singleChannelMode = 0;
    uint8_t singleChannelBand = 0;
    Event replyEvents[kReplyEvents];
    uint8_t repaintEnabled = 1;
    uint8_t reply18Block[97] = {};
    int16_t activeTrace = 1;
    SpectrumTrace traces[4] = {};
    int16_t markerOffset = 0;
    uint32_t serverCountSetting = 10;
    // Written on the link thread, read on the user-interface thread: always
    // points at a static label, so a reader never sees a half-written text.
    std::atomic<const char*> modeName{"Mode Unknown"};
    uint16_t parserState = 0;  // the link's FrameParser keeps its state here
    // Set by the link thread from a port failure until a port found again answers.
    std::atomic<bool> boardLost{false};
    // The levels and table slots measured since the measurement started and the board was
    // last lost (all in a state set up by hand): a log record holds kEmptyLevel, not
    // measured, for the others.
    uint8_t levelMeasured[2] = {1, 1};
    uint64_t slotsMeasured = ~uint64_t{0};
};

// The one board state of the process.
BoardState& boardState();

}  // namespace zarn
