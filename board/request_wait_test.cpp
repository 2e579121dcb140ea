// Requests as they leave for the line, and the wait for their answer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "board/board_state.h"
#include "board/byte_sender.h"
#include "board/serial_link.h"

using namespace zarn;

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

struct WireRecorder : ByteSender {
    bool sendBytes(const uint8_t* bytes, uint32_t length) override {
        sent.emplace_back(bytes, bytes + length);
        return true;
    }
    std::vector<Bytes> sent;
};

// A board state whose waits end at once: the answer pulse comes from a helper thread.
struct RequestTest : ::testing::Test {
    void SetUp() override { setRequestSender(&wire); }
    void TearDown() override { setRequestSender(nullptr); }
    WireRecorder wire;
    BoardState board;
};

}  // namespace

TEST_F(RequestTest, WireExamplesByteForByte) {
    board.sendMode(5);
    board.sendTableEntry(0, 0, 417);
    board.sweepStart = 1;
    board.sweepCount = 833;
    board.sweepStep = 1;
    board.sendSweepParameters();
    board.sendTune(29384);
    board.sendBand(0x11);
    board.sendRequest(8, Bytes{0x11}.data(), 1);
    const std::vector<Bytes> expected = {
        {0x11, 0x12, 0x08, 0x05, 0x11, 0x13},
        {0x11, 0x12, 0x11, 0x14, 0x00, 0x00, 0xA1, 0x01, 0x11, 0x13},
        {0x11, 0x12, 0x15, 0x01, 0x00, 0x41, 0x03, 0x01, 0x00, 0x11, 0x13},
        {0x11, 0x12, 0x0A, 0xC8, 0x72, 0x00, 0x00, 0x11, 0x13},
        {0x11, 0x12, 0x09, 0x11, 0x14, 0x11, 0x13},
        {0x11, 0x12, 0x08, 0x11, 0x14, 0x11, 0x13},
    };
    EXPECT_EQ(wire.sent, expected);
}

TEST_F(RequestTest, RequestsThatCannotBeFramedSendNothing) {
    const auto start = Clock::now();
    EXPECT_FALSE(board.sendRequest(50, nullptr, 0));
    const Bytes tooLong(62, 0x11);  // 62 escaped bytes cannot fit 128
    EXPECT_FALSE(board.sendRequest(8, tooLong.data(), static_cast<uint16_t>(tooLong.size())));
    EXPECT_TRUE(wire.sent.empty());
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(900)) << "no wait for an answer that cannot come";
}

TEST_F(RequestTest, WaitEndsOnItsAnswer) {
    std::atomic<bool> done{false};
    std::thread answerer([&] {
        while (!done) {
            board.replyEvents[9].pulse();  // an answer of another type does not end the wait
            board.replyEvents[8].pulse();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const auto start = Clock::now();
    EXPECT_TRUE(board.sendMode(0));
    const auto took = Clock::now() - start;
    done = true;
    answerer.join();
    EXPECT_LT(took, std::chrono::milliseconds(900));
}

TEST_F(RequestTest, WaitWithoutAnswerLastsTheFullSecond) {
    std::atomic<bool> done{false};
    std::thread other([&] {
        while (!done) {
            board.replyEvents[9].pulse();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const auto start = Clock::now();
    EXPECT_TRUE(board.sendMode(0));
    const auto took = Clock::now() - start;
    done = true;
    other.join();
    EXPECT_GE(took, std::chrono::milliseconds(990));
    EXPECT_LT(took, std::chrono::milliseconds(10000));
}

// A stop asked while a request waits for a board gone silent: the wait ends within the
// poll, the rest of the sequence sends nothing, and requests go out again once it is off.
TEST_F(RequestTest, AStopEndsTheWaitAndTheRestOfTheSequenceIsNotSent) {
    std::atomic<bool> stop{false};
    board.abandonRequests = [&] { return stop.load(); };
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop = true;
    });
    const auto start = Clock::now();
    EXPECT_TRUE(board.sendMode(2));
    EXPECT_FALSE(board.sendTableLength(30));
    EXPECT_FALSE(board.sendTableEntry(0, 0, 417));
    const auto took = Clock::now() - start;
    stopper.join();
    EXPECT_LT(took, std::chrono::milliseconds(900)) << "not the full second of a silent board";
    EXPECT_EQ(wire.sent, (std::vector<Bytes>{{0x11, 0x12, 0x08, 0x02, 0x11, 0x13}}));
    stop = false;
    board.replyEvents[8].set();
    EXPECT_TRUE(board.sendMode(0));
    EXPECT_EQ(wire.sent.size(), 2u);
}

TEST_F(RequestTest, LongestRequestReachesTheSlotWhole) {
    SendSlot slot;
    Bytes payload(61, 0x11);  // the longest payload that fits: 3 + 122 + 2 = 127 bytes
    struct SlotSender : ByteSender {
        SendSlot& slot;
        explicit SlotSender(SendSlot& s) : slot(s) {}
        bool sendBytes(const uint8_t* b, uint32_t n) override {
            slot.store(b, n);
            return true;
        }
    } sender(slot);
    setRequestSender(&sender);
    board.replyEvents[8].set();  // answered at once
    EXPECT_TRUE(board.sendRequest(8, payload.data(), 61));
    uint8_t out[SendSlot::kCapacity];
    ASSERT_EQ(slot.take(out), 127u);
    EXPECT_EQ(out[125], 0x11);
    EXPECT_EQ(out[126], 0x13);
}
