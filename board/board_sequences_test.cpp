#include "board/board_sequences.h"

#include <gtest/gtest.h>

#include <vector>

#include "board/test_support.h"

using namespace zarn;
using namespace zarn::testing;

namespace {

using Bytes = std::vector<uint8_t>;

Request req(uint8_t type, Bytes payload = {}) { return Request{type, std::move(payload)}; }
int16_t levelAt(const Bytes& b, size_t at) { return static_cast<int16_t>(b[at] | (b[at + 1] << 8)); }

}  // namespace

TEST(BoardSequences, StartAndIdle) {
    RecordingBoard board;
    startBoard(board);
    returnToIdle(board);
    EXPECT_EQ(board.requests, (std::vector<Request>{req(1), req(8, {0})}));
}

TEST(BoardSequences, SingleChannelOneBandTunesThatBandsPlan) {
    RecordingBoard board;
    board.singleChannelMode = 1;
    board.singleChannelBand = 1;
    startSingleChannel(board);
    // PCS tuned step 196250 = 0x0002FE9A
    EXPECT_EQ(board.requests, (std::vector<Request>{req(9, {1}), req(5, {16, 0}), req(10, {0x9A, 0xFE, 0x02, 0x00}),
                                                    req(8, {1})}));
    EXPECT_EQ(board.commandedStep, 196250u);
}

TEST(BoardSequences, SingleChannelBothBandsUploadsTwoSlots) {
    RecordingBoard board;
    board.singleChannelMode = 2;
    startSingleChannel(board);
    // tuned offsets: cellular 417 (0x01A1), PCS 3250 (0x0CB2)
    EXPECT_EQ(board.requests,
              (std::vector<Request>{req(5, {32, 0}), req(32, {2}), req(17, {0, 0, 0xA1, 0x01}),
                                    req(17, {1, 1, 0xB2, 0x0C}), req(8, {2})}));
}

TEST(BoardSequences, ChannelTableUploadComputesOffsetsThroughThePlans) {
    RecordingBoard board;
    board.channelTableCount = 3;
    board.channelTable[0] = {0, 384, 0};  // 881.52 MHz: offset 417
    board.channelTable[1] = {1, 25, 0};   // PCS channel 25
    board.channelTable[2] = {2, 100, 0};  // no such band: offset 0
    uploadChannelTable(board);
    ASSERT_EQ(board.requests.size(), 6u);
    EXPECT_EQ(board.requests[0], req(32, {3}));
    EXPECT_EQ(board.requests[1], req(17, {0, 0, 0xA1, 0x01}));
    const uint16_t pcs = static_cast<uint16_t>(board.pcsPlan.pcsChannelToOffset(25));
    EXPECT_EQ(board.requests[2], req(17, {1, 1, static_cast<uint8_t>(pcs), static_cast<uint8_t>(pcs >> 8)}));
    EXPECT_EQ(board.requests[3], req(17, {2, 2, 0, 0}));
    EXPECT_EQ(board.requests[4], req(5, {32, 0}));
    EXPECT_EQ(board.requests[5], req(8, {2}));
}

TEST(BoardSequences, EmptyTableSendsLengthZeroThenCodeAndMode) {
    RecordingBoard board;
    uploadChannelTable(board);
    EXPECT_EQ(board.requests, (std::vector<Request>{req(32, {0}), req(5, {32, 0}), req(8, {2})}));
}

TEST(BoardSequences, TableCountBeyondTheSlotsSendsNoMoreThan40Entries) {
    RecordingBoard board;
    board.channelTableCount = 200;
    uploadChannelTable(board);
    EXPECT_EQ(board.requests.size(), 1u + 40u + 2u);
    EXPECT_EQ(board.requests[0], req(32, {200}));
}

TEST(BoardSequences, SweepStartAndRestart) {
    RecordingBoard board;
    board.bandIndex = 0;
    board.sweepStart = 1;
    board.sweepCount = 833;
    board.sweepStep = 1;
    startSweep(board);
    EXPECT_EQ(board.requests,
              (std::vector<Request>{req(9, {0}), req(5, {1, 0}), req(10, {0xC8, 0x72, 0, 0}),
                                    req(21, {1, 0, 0x41, 0x03, 1, 0}), req(8, {5})}));
    board.requests.clear();
    board.sweepStart = 100;
    restartSweep(board);
    EXPECT_EQ(board.requests,
              (std::vector<Request>{req(8, {0}), req(21, {100, 0, 0x41, 0x03, 1, 0}), req(8, {5})}));
}

// A measurement just opened holds nothing the board has reported for it: a band not
// answered yet (its level still the start-up -120 dBm, or another tuning's), a table slot
// not reported since the new table went up. Those are written as not measured.
TEST(BoardSequences, AMeasurementLogsOnlyLevelsReportedSinceItStarted) {
    {
        WiredBoard w;
        BoardState& b = w.board;
        b.logging = 1;
        b.singleChannelMode = 2;
        startMeasurement(b, kModeSingleChannel);
        w.feedFrame(15, {0, 0x00, 0xFD});  // the cellular slot only
        ASSERT_EQ(w.log.records.size(), 1u);
        EXPECT_EQ(levelAt(w.log.records[0].bytes, 2), -768);
        EXPECT_EQ(levelAt(w.log.records[0].bytes, 6), kEmptyLevel) << "PCS before its answer";
        w.feedFrame(15, {1, 0x00, 0xFC});
        EXPECT_EQ(levelAt(w.log.records.back().bytes, 6), -1024);
        startMeasurement(b, kModeSingleChannel);  // retuned
        w.feedFrame(15, {1, 0x00, 0xFB});
        EXPECT_EQ(levelAt(w.log.records.back().bytes, 2), kEmptyLevel) << "the old tuning's level";
    }
    {
        WiredBoard w;
        BoardState& b = w.board;
        b.logging = 1;
        b.setScreenMode(kModeChannelTable);
        b.channelTableCount = 3;
        for (uint8_t slot : {0, 1, 2}) w.feedFrame(15, {slot, 0x00, 0xFA});  // the table before
        startMeasurement(b, kModeChannelTable);
        w.feedFrame(15, {0, 0x00, 0xFD});  // the new pass: the old one's end
        ASSERT_EQ(w.log.records.size(), 1u);
        EXPECT_EQ(levelAt(w.log.records[0].bytes, 1 + 3), -768);
        EXPECT_EQ(levelAt(w.log.records[0].bytes, 1 + 5 + 3), kEmptyLevel) << "a slot of the old pass";
    }
}
