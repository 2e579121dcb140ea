#include "board/frame_parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/test_support.h"

using namespace zarn;
using zarn::testing::WiredBoard;
using Bytes = std::vector<uint8_t>;

namespace {

// Feeds bytes without the link thread's reset of the delivered state.
void feedRaw(BoardState& b, const Bytes& bytes) {
    for (uint8_t x : bytes) feedByte(b, x);
}

}  // namespace

TEST(FrameParser, SerialNumberFrameStoresTextPulsesAndRepaints) {
    WiredBoard w;
    w.feed({0x11, 0x12, 0x02, 0x41, 0x42, 0x43, 0x11, 0x13});
    EXPECT_STREQ(w.board.serialNumber, "ABC");
    EXPECT_EQ(w.window.count(WM_BOARD_UPDATE), 1);
    EXPECT_EQ(w.board.parserState, kParserDelivered);
}

TEST(FrameParser, NoRepaintWhileRepaintsAreSuspended) {
    WiredBoard w;
    w.board.repaintEnabled = 0;
    w.feed({0x11, 0x12, 0x02, 0x41, 0x11, 0x13});
    EXPECT_STREQ(w.board.serialNumber, "A");
    EXPECT_TRUE(w.window.messages.empty());
}

TEST(FrameParser, StreamsOfBytesGiveTheStatesOfTheMachine) {
    struct Case {
        const char* what;
        Bytes bytes;
        uint16_t endState;
        uint8_t boardMode;  // reply 8 decoded when not 0xEE
    } cases[] = {
        {"escaped payload byte", {0x11, 0x12, 0x08, 0x11, 0x14, 0x11, 0x13}, kParserDelivered, 0x11},
        {"frame start inside payload abandons", {0x11, 0x12, 0x08, 0x00, 0x11, 0x12, 0x08, 0x02, 0x11, 0x13}, kParserIdle, 0xEE},
        {"0x11 0x11 0x12 is no frame start", {0x11, 0x11, 0x12, 0x08, 0x03, 0x11, 0x13}, kParserIdle, 0xEE},
        {"noise before a frame", {0x00, 0x00, 0x12, 0x13, 0x11, 0x00, 0x11, 0x12, 0x08, 0x04, 0x11, 0x13}, kParserDelivered, 4},
        {"truncated frame", {0x11, 0x12, 0x08, 0x02}, kParserData, 0xEE},
        {"truncated in escape", {0x11, 0x12, 0x08, 0x02, 0x11}, kParserDataEscape, 0xEE},
        {"bad escape abandons and consumes", {0x11, 0x12, 0x08, 0x02, 0x11, 0x15, 0x11, 0x13}, kParserIdle, 0xEE},
        {"type escape drops any next byte", {0x11, 0x12, 0x11, 0x99, 0x05, 0x11, 0x13}, kParserDelivered, 0xEE},
    };
    for (const auto& c : cases) {
        WiredBoard w;
        w.board.boardMode = 0xEE;
        feedRaw(w.board, c.bytes);
        EXPECT_EQ(w.board.parserState, c.endState) << c.what;
        EXPECT_EQ(w.board.boardMode, c.boardMode) << c.what;
    }
}

TEST(FrameParser, EscapedTypeFrameCarriesItsPayload) {
    WiredBoard w;
    w.board.logging = 1;
    w.feed({0x11, 0x12, 0x11, 0x14, 0x05, 0x11, 0x13});
    ASSERT_EQ(w.log.records.size(), 1u);
    EXPECT_EQ(w.log.records[0].type, 0x11);
    EXPECT_EQ(w.log.records[0].bytes, (Bytes{0x05}));
}

TEST(FrameParser, DeliveredStateIgnoresBytesUntilTheLinkThreadResetsIt) {
    WiredBoard w;
    feedRaw(w.board, {0x11, 0x12, 0x09, 0x01, 0x11, 0x13, 0x11, 0x12, 0x09, 0x00, 0x11, 0x13});
    EXPECT_EQ(w.board.reportedBand, 1);  // the second frame was ignored
    w.board.parserState = kParserIdle;
    feedRaw(w.board, {0x11, 0x12, 0x09, 0x00, 0x11, 0x13});
    EXPECT_EQ(w.board.reportedBand, 0);
}

TEST(FrameParser, BackToBackFramesAreAllDecodedWhenTheStateIsReset) {
    WiredBoard w;
    Bytes stream;
    for (uint8_t slot = 0; slot < 5; ++slot) {
        const Bytes f = {0x11, 0x12, 0x0F, slot, static_cast<uint8_t>(slot * 16), 0xFF, 0x11, 0x13};
        stream.insert(stream.end(), f.begin(), f.end());
    }
    w.feed(stream);
    for (int slot = 0; slot < 5; ++slot) EXPECT_EQ(+w.board.channelTable[slot].level, static_cast<int16_t>(0xFF00 | (slot * 16)));
}

TEST(FrameParser, PayloadLimitAbandonsTheFramePastTheLimit) {
    auto frameWith = [](int payloadBytes) {
        Bytes f = {0x11, 0x12, 0x30};
        f.insert(f.end(), payloadBytes, 0x41);
        f.insert(f.end(), {0x11, 0x13});
        return f;
    };
    for (int stored : {4095, 4096}) {
        WiredBoard w;
        w.board.logging = 1;
        feedRaw(w.board, frameWith(stored));
        ASSERT_EQ(w.log.records.size(), 1u) << stored;
        EXPECT_EQ(w.log.records[0].bytes.size(), static_cast<size_t>(stored));
    }
    WiredBoard w;
    w.board.logging = 1;
    feedRaw(w.board, frameWith(4097));
    EXPECT_TRUE(w.log.records.empty());
    EXPECT_EQ(w.board.parserState, kParserIdle);
    feedRaw(w.board, frameWith(3));  // the next frame is found again
    EXPECT_EQ(w.log.records.size(), 1u);

    WiredBoard escaped;
    escaped.board.logging = 1;
    Bytes f = frameWith(4096);
    f.insert(f.end() - 2, {0x11, 0x14});
    feedRaw(escaped.board, f);
    ASSERT_EQ(escaped.log.records.size(), 1u);
    EXPECT_EQ(escaped.log.records[0].bytes.size(), 4097u);
    EXPECT_EQ(escaped.log.records[0].bytes.back(), 0x11);

    WiredBoard twice;  // a second escaped byte past the limit abandons the frame
    twice.board.logging = 1;
    f.insert(f.end() - 2, {0x11, 0x14});
    feedRaw(twice.board, f);
    EXPECT_TRUE(twice.log.records.empty());
}

TEST(FrameParser, IdentityTextsAreCutAt31CharactersAndEndWithThePayload) {
    WiredBoard w;
    w.feedFrame(2, Bytes(40, 'S'));
    EXPECT_EQ(std::string(w.board.serialNumber), std::string(31, 'S'));
    w.feedFrame(2, {'Z'});  // no NUL: ends at the end of the payload
    EXPECT_STREQ(w.board.serialNumber, "Z");
    w.feedFrame(2, {'A', 0, 'B'});
    EXPECT_STREQ(w.board.serialNumber, "A");
    w.feedFrame(1, {'1', '.', '2', '3'});
    EXPECT_STREQ(w.board.firmwareVersion, "1.23");
    ASSERT_EQ(w.board.requests.size(), 1u);  // reply 1 asks for the serial number
    EXPECT_EQ(w.board.requests[0].type, 2);
}

TEST(FrameParser, ModeLabels) {
    struct Case { uint8_t mode; const char* label; } cases[] = {
        {0, "Idle Mode"}, {2, "Short Table Mode"}, {3, "Long Table Mode"}, {4, "Single Shot Mode"},
        {0xF0, "Cal Data Mode"}, {6, "Unregistered Mode"}, {0x11, "Unregistered Mode"}, {255, "Unregistered Mode"},
    };
    for (const auto& c : cases) {
        for (uint8_t type : {8, 11}) {
            WiredBoard w;
            w.feedFrame(type, {c.mode});
            EXPECT_STREQ(w.board.modeName.load(), c.label) << int(c.mode);
            EXPECT_EQ(w.board.boardMode, c.mode);
        }
    }
    WiredBoard w;
    for (uint8_t keep : {1, 5}) {
        w.feedFrame(8, {keep});
        EXPECT_STREQ(w.board.modeName.load(), "Mode Unknown");
        EXPECT_EQ(w.board.boardMode, keep);
    }
    w.feedFrame(8, {2});
    w.feedFrame(8, {5});
    EXPECT_STREQ(w.board.modeName.load(), "Short Table Mode");
}

TEST(FrameParser, EveryReplyTypeChangesOnlyItsMembers) {
    WiredBoard w;
    BoardState& b = w.board;
    w.feedFrame(9, {1});
    EXPECT_EQ(b.reportedBand, 1);
    w.feedFrame(10, {0x9A, 0xFE, 0x02, 0x00});
    EXPECT_EQ(b.commandedStep, 196250u);
    w.feedFrame(14, {0x00, 0xFD});  // -768 on PCS, since the band is 1
    EXPECT_EQ(b.level[1], -768);
    EXPECT_EQ(b.levelFresh[1], 1);
    EXPECT_EQ(b.level[0], -1920);
    EXPECT_EQ(b.levelFresh[0], 0);
    w.feedFrame(9, {7});  // any band but 0 fills the PCS level
    w.feedFrame(14, {0x10, 0xFF});
    EXPECT_EQ(b.level[1], -240);
    w.feedFrame(9, {0});
    w.feedFrame(14, {0x00, 0xFF});
    EXPECT_EQ(b.level[0], -256);

    Bytes r3 = {2};
    for (int i = 1; i <= 30; ++i) r3.push_back(static_cast<uint8_t>(i));
    w.feedFrame(3, r3);
    EXPECT_EQ(b.reply3Block[0], 1);
    EXPECT_EQ(b.reply3Block[23], 24);
    w.feedFrame(3, {1, 9, 9, 9});  // kind 1: 12 bytes, zeros past the payload
    EXPECT_EQ(b.reply3Block[0], 9);
    EXPECT_EQ(b.reply3Block[3], 0);
    EXPECT_EQ(b.reply3Block[11], 0);
    EXPECT_EQ(b.reply3Block[12], 13);  // untouched past 12

    Bytes r16(30);
    for (int i = 0; i < 30; ++i) r16[i] = static_cast<uint8_t>(100 + i);
    w.feedFrame(16, r16);
    EXPECT_EQ(b.reply16Block[0], 104);
    EXPECT_EQ(b.reply16Block[23], 127);
    w.feedFrame(16, {1, 2, 3, 4, 5});
    EXPECT_EQ(b.reply16Block[0], 5);
    EXPECT_EQ(b.reply16Block[1], 0);

    w.feedFrame(18, Bytes(97, 0x7E));
    EXPECT_EQ(b.reply18Block[96], 0x7E);
    w.feedFrame(18, {0x01});
    EXPECT_EQ(b.reply18Block[0], 1);
    EXPECT_EQ(b.reply18Block[1], 0);
    EXPECT_EQ(b.reply18Block[96], 0);
}

TEST(FrameParser, RepaintFlagFollowsTheReplyType) {
    struct Case { uint8_t type; Bytes payload; int repaints; } cases[] = {
        {13, {}, 1}, {21, {}, 1}, {22, {1}, 1}, {5, {}, 0}, {17, {}, 0}, {32, {}, 0}, {0, {}, 0}, {60, {}, 0},
        {33, {1, 0, 0, 0}, 0},  // not exactly 5 bytes
    };
    for (const auto& c : cases) {
        WiredBoard w;
        w.feedFrame(c.type, c.payload);
        EXPECT_EQ(w.window.count(WM_BOARD_UPDATE), c.repaints) << int(c.type);
    }
}

TEST(FrameParser, TableLevelsFillSlotsAndDetectTheWrap) {
    WiredBoard w;
    BoardState& b = w.board;
    w.feedFrame(15, {0, 0x00, 0xFD});
    EXPECT_EQ(b.level[0], -768);
    EXPECT_EQ(+b.channelTable[0].level, -768);
    w.feedFrame(15, {2, 0x10, 0xFD});
    EXPECT_EQ(b.level[1], -752);
    EXPECT_EQ(+b.channelTable[2].level, -752);
    EXPECT_EQ(b.logRecordPending, 0);
    w.feedFrame(15, {45, 0x20, 0xFD});  // beyond the table: levels and wrap detection only
    EXPECT_EQ(b.level[1], -736);
    EXPECT_EQ(b.logRecordPending, 0);
    w.feedFrame(15, {1, 0x00, 0xFE});
    EXPECT_EQ(b.logRecordPending, 1);
    EXPECT_EQ(+b.channelTable[1].level, -512);
}

TEST(FrameParser, EventsArePulsedOnlyForTypesBelow50) {
    WiredBoard w;
    std::atomic<int> woke{0};
    std::thread waiter([&] {
        if (w.board.replyEvents[49].wait(5000) == WaitResult::Signalled) ++woke;
    });
    for (int i = 0; i < 2000 && woke == 0; ++i) {
        w.feedFrame(49, {});
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    waiter.join();
    EXPECT_EQ(woke, 1);
    w.feedFrame(50, {});  // must not touch any event (there is none)
    EXPECT_FALSE(w.board.replyEvents[49].isSet());
}
