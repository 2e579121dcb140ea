#include "board/board_sequences.h"

#include <algorithm>

namespace zarn {
namespace {

constexpr uint8_t kModeIdle = 0;
constexpr uint8_t kModeShortTable = 2;
constexpr uint8_t kModeSweep = 5;
constexpr uint8_t kTableSlots = 40;

void tuneBand(BoardState& board, uint8_t band) {
    if (BandPlan* plan = board.bandPlan(band)) board.sendTune(plan->tunedStep());
}

}  // namespace

void startBoard(BoardState& board) { board.sendVersionRequest(); }

void returnToIdle(BoardState& board) { board.sendMode(kModeIdle); }

void startSingleChannel(BoardState& board) {
    if (board.singleChannelMode == 1) {
        board.sendBand(board.singleChannelBand);
        board.sendCode5(16);
        tuneBand(board, board.singleChannelBand);
    } else {
        board.sendCode5(32);
        board.sendTableLength(2);
        board.sendTableEntry(0, 0, static_cast<uint16_t>(board.cellularPlan.tunedOffset()));
        board.sendTableEntry(1, 1, static_cast<uint16_t>(board.pcsPlan.tunedOffset()));
    }
    board.sendMode(board.singleChannelMode);
}

uint16_t tableEntryOffset(BoardState& board, uint8_t band, uint16_t channel) {
    BandPlan* plan = board.bandPlan(band);
    if (!plan) return 0;
    const uint32_t frequency = band == 0 ? plan->channelToFrequency(channel) : plan->pcsChannelToFrequency(channel);
    return static_cast<uint16_t>(plan->frequencyToOffset(frequency));
}

void uploadChannelTable(BoardState& board) {
    board.sendTableLength(board.channelTableCount);
    const uint8_t slots = std::min<uint8_t>(board.channelTableCount, kTableSlots);
    for (uint8_t i = 0; i < slots; ++i) {
        const uint8_t band = board.channelTable[i].band;
        const uint16_t channel = board.channelTable[i].channel;
        board.sendTableEntry(i, band, tableEntryOffset(board, band, channel));
    }
    board.sendCode5(32);
    board.sendMode(kModeShortTable);
}

void startSweep(BoardState& board) {
    board.sendBand(board.bandIndex);
    board.sendCode5(1);
    tuneBand(board, board.bandIndex);
    board.sendSweepParameters();
    board.sendMode(kModeSweep);
}

void restartSweep(BoardState& board) {
    board.sendMode(kModeIdle);
    board.sendSweepParameters();
    board.sendMode(kModeSweep);
}

void startMeasurement(BoardState& board, uint8_t mode) {
    // Levels from before (no answer yet, another tuning, another table) are not this
    // measurement's: until the board reports them again a record holds them as not measured.
    board.levelMeasured[0] = board.levelMeasured[1] = 0;
    board.slotsMeasured = 0;
    switch (mode) {
    case kModeSingleChannel: startSingleChannel(board); break;
    case kModeChannelTable: uploadChannelTable(board); break;
    case kModeSpectrum:
    case kModeBestServers: startSweep(board); break;
    default: break;
    }
    board.setScreenMode(mode);
}

void resumeMeasurement(BoardState& board) {
    returnToIdle(board);
    startMeasurement(board, board.screenMode);
}

}  // namespace zarn
