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

using Feed = FrameParser::Feed;
using Abandon = FrameParser::Abandon;

struct Outcome {
    int delivered = 0;
    int abandoned = 0;
};

// Feeds bytes without the link thread's release of a delivered frame.
Outcome feedRaw(FrameParser& parser, const Bytes& bytes) {
    Outcome o;
    for (uint8_t x : bytes) {
        const Feed f = parser.feed(x);
        o.delivered += f == Feed::Delivered;
        o.abandoned += f == Feed::Abandoned;
    }
    return o;
}

}  // namespace

TEST(FrameParser, SerialNumberFrameStoresTextPulsesAndRepaints) {
    WiredBoard w;
    w.feed({0x11, 0x12, 0x02, 0x41, 0x42, 0x43, 0x11, 0x13});
    EXPECT_STREQ(w.board.serialNumber, "ABC");
    EXPECT_EQ(w.window.count(WM_BOARD_UPDATE), 1);
    EXPECT_TRUE(w.parser.delivered());
}

TEST(FrameParser, NoRepaintWhileRepaintsAreSuspended) {
    WiredBoard w;
    w.board.repaintEnabled = 0;
    w.feed({0x11, 0x12, 0x02, 0x41, 0x11, 0x13});
    EXPECT_STREQ(w.board.serialNumber, "A");
    EXPECT_TRUE(w.window.messages.empty());
}

// Each well-formed stream beside the broken one it is easily taken for.
TEST(FrameParser, StreamsBesideTheirBrokenTwins) {
    struct Case {
        const char* what;
        Bytes bytes;
        int delivered, abandoned;
        Abandon reason;
        uint8_t boardMode;  // reply 8 decoded when not 0xEE
    } cases[] = {
        {"escaped payload byte", {0x11, 0x12, 0x08, 0x11, 0x14, 0x11, 0x13}, 1, 0, Abandon::None, 0x11},
        {"bad escape abandons and consumes", {0x11, 0x12, 0x08, 0x02, 0x11, 0x15, 0x11, 0x13}, 0, 1, Abandon::BadEscape, 0xEE},
        {"noise before a frame", {0x00, 0x00, 0x12, 0x13, 0x11, 0x00, 0x11, 0x12, 0x08, 0x04, 0x11, 0x13}, 1, 0, Abandon::None, 4},
        {"0x11 0x11 0x12 is no frame start", {0x11, 0x11, 0x12, 0x08, 0x03, 0x11, 0x13}, 0, 0, Abandon::None, 0xEE},
        {"type escape drops any next byte", {0x11, 0x12, 0x11, 0x99, 0x05, 0x11, 0x13}, 1, 0, Abandon::None, 0xEE},
        {"frame start inside payload abandons", {0x11, 0x12, 0x08, 0x00, 0x11, 0x12, 0x08, 0x02, 0x11, 0x13}, 0, 1, Abandon::BadEscape, 0xEE},
        {"frames back to back", {0x11, 0x12, 0x08, 0x04, 0x11, 0x13, 0x11, 0x12, 0x08, 0x02, 0x11, 0x13}, 1, 0, Abandon::None, 4},
        {"truncated frame", {0x11, 0x12, 0x08, 0x02}, 0, 0, Abandon::None, 0xEE},
    };
    for (const auto& c : cases) {
        WiredBoard w;
        w.board.boardMode = 0xEE;
        const Outcome o = feedRaw(w.parser, c.bytes);
        EXPECT_EQ(o.delivered, c.delivered) << c.what;
        EXPECT_EQ(o.abandoned, c.abandoned) << c.what;
        EXPECT_EQ(w.parser.abandonReason(), c.reason) << c.what;
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

TEST(FrameParser, ADeliveredFrameHoldsTheMachineUntilReleased) {
    WiredBoard w;
    const Bytes band0 = {0x11, 0x12, 0x09, 0x00, 0x11, 0x13};
    feedRaw(w.parser, {0x11, 0x12, 0x09, 0x01, 0x11, 0x13});
    feedRaw(w.parser, band0);
    EXPECT_EQ(w.board.reportedBand, 1);  // the second frame was ignored
    w.parser.release();
    EXPECT_EQ(feedRaw(w.parser, band0).delivered, 1);
    EXPECT_EQ(w.board.reportedBand, 0);
}

TEST(FrameParser, ARestartDropsAFrameCutShort) {
    WiredBoard w;
    feedRaw(w.parser, {0x11, 0x12, 0x09, 0x01});
    w.parser.restart();
    EXPECT_EQ(feedRaw(w.parser, {0x11, 0x12, 0x08, 0x00, 0x11, 0x13}).delivered, 1);
    EXPECT_EQ(w.board.reportedBand, 0);
    EXPECT_STREQ(w.board.modeName.load(), "Idle Mode");
}

TEST(FrameParser, BackToBackFramesAreAllDecodedWhenEachIsReleased) {
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
    auto frameWith = [](int payloadBytes, int escapedAtEnd = 0) {
        Bytes f = {0x11, 0x12, 0x30};
        f.insert(f.end(), payloadBytes, 0x41);
        for (int i = 0; i < escapedAtEnd; ++i) f.insert(f.end(), {0x11, 0x14});
        f.insert(f.end(), {0x11, 0x13});
        return f;
    };
    struct Case {
        const char* what;
        Bytes frame;
        size_t stored;  // 0: abandoned
    } cases[] = {
        {"4096 plain bytes", frameWith(4096), 4096},
        {"4097 plain bytes", frameWith(4097), 0},
        {"an escaped 0x11 as byte 4097", frameWith(4096, 1), 4097},
        {"a second escaped byte past the limit", frameWith(4096, 2), 0},
    };
    for (const auto& c : cases) {
        WiredBoard w;
        w.board.logging = 1;
        const Outcome o = feedRaw(w.parser, c.frame);
        if (c.stored == 0) {
            EXPECT_EQ(o.abandoned, 1) << c.what;
            EXPECT_EQ(w.parser.abandonReason(), Abandon::PayloadTooLong) << c.what;
            EXPECT_TRUE(w.log.records.empty()) << c.what;
            feedRaw(w.parser, frameWith(3));  // the next frame is found again
            ASSERT_EQ(w.log.records.size(), 1u) << c.what;
            EXPECT_EQ(w.log.records[0].bytes, Bytes(3, 0x41)) << "nothing of the dropped frame: " << c.what;
        } else {
            ASSERT_EQ(w.log.records.size(), 1u) << c.what;
            EXPECT_EQ(w.log.records[0].bytes.size(), c.stored) << c.what;
            EXPECT_EQ(w.log.records[0].bytes.back(), c.stored > 4096 ? 0x11 : 0x41) << c.what;
        }
    }
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
