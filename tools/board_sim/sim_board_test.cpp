#include "tools/board_sim/sim_board.h"

#include <gtest/gtest.h>

#include <vector>

#include "board/request_frame.h"
#include "board/test_support.h"

using namespace zarn;
using namespace zarn::sim;

namespace {

using Bytes = std::vector<uint8_t>;

struct Frame {
    uint8_t type;
    Bytes payload;
    bool operator==(const Frame&) const = default;
};

// Splits a byte stream into frames (the simulator's output is well formed).
std::vector<Frame> frames(const Bytes& bytes) {
    std::vector<Frame> out;
    for (size_t i = 0; i + 1 < bytes.size();) {
        if (bytes[i] != 0x11 || bytes[i + 1] != 0x12) {
            ++i;
            continue;
        }
        i += 2;
        Frame f{bytes[i], {}};
        i += bytes[i] == 0x11 ? 2 : 1;
        while (i + 1 < bytes.size() && !(bytes[i] == 0x11 && bytes[i + 1] == 0x13)) {
            f.payload.push_back(bytes[i]);
            i += bytes[i] == 0x11 ? 2 : 1;
        }
        i += 2;
        out.push_back(f);
    }
    return out;
}

struct SimBoardTest : ::testing::Test {
    SimBoard board{RadioScene::standard(), "FW 1.0", "SN123"};

    void request(uint8_t type, const Bytes& payload) {
        Bytes wire;
        appendFrame(wire, type, payload.data(), payload.size());
        board.receive(wire.data(), wire.size());
    }
    std::vector<Frame> drain(double t, int most = 100) {
        Bytes out;
        for (int i = 0; i < most && board.nextFrame(t, out) >= 0; ++i) {
        }
        return frames(out);
    }
};

}  // namespace

TEST_F(SimBoardTest, AnswersEveryRequestWithItsType) {
    const uint8_t keepAlive[] = {0, 0};
    board.receive(keepAlive, 2);
    request(1, {});
    request(2, {});
    request(5, {16, 0});
    request(8, {0});
    request(9, {0x11});
    request(10, {0xC8, 0x72, 0, 0});
    request(17, {0, 0, 0xA1, 0x01});
    request(21, {1, 0, 0x41, 0x03, 1, 0});
    request(32, {2});
    const std::vector<Frame> expected = {
        {1, {'F', 'W', ' ', '1', '.', '0', 0}},
        {2, {'S', 'N', '1', '2', '3', 0}},
        {5, {}},
        {8, {0}},
        {9, {0x11}},
        {10, {0xC8, 0x72, 0, 0}},
        {17, {}},
        {21, {}},
        {32, {}},
    };
    EXPECT_EQ(drain(0), expected);
    EXPECT_EQ(board.requestsReceived(), 9u);
}

TEST_F(SimBoardTest, SweepModeStreamsTheWindowOverAndOver) {
    request(9, {0});
    request(21, {10, 0, 3, 0, 5, 0});  // start 10, count 3, step 5
    request(8, {5});
    const auto got = drain(0, 9);
    ASSERT_EQ(got.size(), 9u);
    const uint16_t expected[] = {10, 15, 20, 10, 15, 20};
    for (int i = 0; i < 6; ++i) {
        const Frame& f = got[3 + i];
        ASSERT_EQ(f.type, 33);
        ASSERT_EQ(f.payload.size(), 5u);
        EXPECT_EQ(f.payload[0] | (f.payload[1] << 8), expected[i]);
    }
}

TEST_F(SimBoardTest, SweepLevelsShowTheCarrierOverTheNoise) {
    request(9, {0});
    request(21, {0x93, 0x01, 0x10, 0x00, 1, 0});  // offsets 403..418; 417 is 881.52 MHz
    request(8, {5});
    const auto got = drain(0, 3 + 16);
    ASSERT_EQ(got.size(), 19u);
    auto level = [&](int k) { return static_cast<int16_t>(got[3 + k].payload[2] | (got[3 + k].payload[3] << 8)); };
    EXPECT_GT(level(14) / 16, -70);  // the carrier at offset 417
    EXPECT_LT(level(0) / 16, -100);  // offset 403 is noise
}

TEST_F(SimBoardTest, SingleChannelAndTableModes) {
    request(9, {1});
    request(10, {0x9A, 0xFE, 0x02, 0x00});  // 1962.5 MHz
    request(8, {1});
    auto got = drain(0);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[3].type, 14);
    EXPECT_TRUE(drain(0.1).empty()) << "several a second, not a flood";
    EXPECT_EQ(drain(0.25).size(), 1u);

    request(32, {2});
    request(17, {0, 0, 0xA1, 0x01});
    request(17, {1, 1, 0xB2, 0x0C});
    request(8, {2});
    got = drain(1.0);
    ASSERT_EQ(got.back().type, 15);
    EXPECT_EQ(got.back().payload[0], 0);
    got = drain(1.05);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].payload[0], 1);
    got = drain(1.1);
    EXPECT_EQ(got[0].payload[0], 0);
}

TEST_F(SimBoardTest, IdleModeIsSilent) {
    request(8, {0});
    EXPECT_EQ(drain(0).size(), 1u);
    EXPECT_TRUE(drain(10).empty());
}

TEST_F(SimBoardTest, ItsFramesDecodeInTheProgram) {
    zarn::testing::WiredBoard wired;
    request(1, {});
    request(8, {17});
    Bytes out;
    while (board.nextFrame(0, out) >= 0) {
    }
    wired.feed(out);
    EXPECT_STREQ(wired.board.firmwareVersion, "FW 1.0");
    EXPECT_STREQ(wired.board.modeName.load(), "Unregistered Mode");
}
