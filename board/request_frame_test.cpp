#include "board/request_frame.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "board/byte_sender.h"
#include "board/test_support.h"

using namespace zarn;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes frameOf(uint8_t type, const Bytes& payload) {
    uint8_t out[kSendBufferSize];
    const int n = buildRequestFrame(type, payload.data(), static_cast<uint16_t>(payload.size()), out);
    return n < 0 ? Bytes{} : Bytes(out, out + n);
}

struct SentRecorder : ByteSender {
    bool sendBytes(const uint8_t* bytes, uint32_t length) override {
        sent.emplace_back(bytes, bytes + length);
        return true;
    }
    std::vector<Bytes> sent;
};

}  // namespace

TEST(RequestFrame, WireExamplesByteForByte) {
    struct Case { const char* what; uint8_t type; Bytes payload; Bytes wire; } cases[] = {
        {"mode 5", 8, {0x05}, {0x11, 0x12, 0x08, 0x05, 0x11, 0x13}},
        {"table entry slot 0 band 0 offset 417", 17, {0x00, 0x00, 0xA1, 0x01},
         {0x11, 0x12, 0x11, 0x14, 0x00, 0x00, 0xA1, 0x01, 0x11, 0x13}},
        {"sweep 1/833/1", 21, {0x01, 0x00, 0x41, 0x03, 0x01, 0x00},
         {0x11, 0x12, 0x15, 0x01, 0x00, 0x41, 0x03, 0x01, 0x00, 0x11, 0x13}},
        {"tune 29384", 10, {0xC8, 0x72, 0x00, 0x00}, {0x11, 0x12, 0x0A, 0xC8, 0x72, 0x00, 0x00, 0x11, 0x13}},
        {"band 0x11", 9, {0x11}, {0x11, 0x12, 0x09, 0x11, 0x14, 0x11, 0x13}},
        {"version", 1, {}, {0x11, 0x12, 0x01, 0x11, 0x13}},
    };
    for (const auto& c : cases) EXPECT_EQ(frameOf(c.type, c.payload), c.wire) << c.what;
}

TEST(RequestFrame, RefusesTypesWithoutReplyEventAndPayloadsThatDoNotFit) {
    EXPECT_TRUE(frameOf(49, {}).size() == 5);
    EXPECT_TRUE(frameOf(50, {}).empty());
    EXPECT_TRUE(frameOf(255, {}).empty());
    // 61 escaped bytes: 2 + 1 + 122 + 2 = 127 fits; one more plain byte still fits, two do not.
    EXPECT_EQ(frameOf(8, Bytes(61, 0x11)).size(), 127u);
    EXPECT_EQ(frameOf(8, Bytes(123, 0x00)).size(), 128u);
    EXPECT_TRUE(frameOf(8, Bytes(124, 0x00)).empty());
    EXPECT_TRUE(frameOf(8, Bytes(62, 0x11)).empty());
    // Escaped type 0x11 with a payload that fills the buffer exactly.
    EXPECT_EQ(frameOf(0x11, Bytes(122, 0x00)).size(), 128u);
    EXPECT_TRUE(frameOf(0x11, Bytes(123, 0x00)).empty());
}

TEST(RequestFrame, AppendFrameEscapesAnyLength) {
    Bytes out;
    const Bytes payload = {0x11, 0x00, 0x11};
    appendFrame(out, 0x11, payload.data(), payload.size());
    EXPECT_EQ(out, (Bytes{0x11, 0x12, 0x11, 0x14, 0x11, 0x14, 0x00, 0x11, 0x14, 0x11, 0x13}));
}

TEST(RequestWrappers, PayloadsAreLittleEndianAndTuneRemembersTheStep) {
    zarn::testing::RecordingBoard b;
    b.sweepStart = 1;
    b.sweepCount = 833;
    b.sweepStep = 1;
    b.sendVersionRequest();
    b.sendSerialRequest();
    b.sendCode5(0x1234);
    b.sendMode(5);
    b.sendBand(1);
    b.sendTune(196250);
    b.sendTableEntry(3, 1, 3250);
    b.sendSweepParameters();
    b.sendTableLength(30);
    using R = zarn::testing::Request;
    const std::vector<R> expected = {
        {1, {}}, {2, {}}, {5, {0x34, 0x12}}, {8, {5}}, {9, {1}}, {10, {0x9A, 0xFE, 0x02, 0x00}},
        {17, {3, 1, 0xB2, 0x0C}}, {21, {0x01, 0x00, 0x41, 0x03, 0x01, 0x00}}, {32, {30}},
    };
    EXPECT_EQ(b.requests, expected);
    EXPECT_EQ(b.commandedStep, 196250u);
}

TEST(SendRequest, WritesTheFrameAndReturnsWhenTheAnswerIsPulsed) {
    BoardState b;
    SentRecorder link;
    setRequestSender(&link);
    std::thread board([&] {
        // Answer as soon as the request has been handed over.
        for (int i = 0; i < 10000 && link.sent.empty(); ++i) std::this_thread::sleep_for(std::chrono::microseconds(100));
        for (int i = 0; i < 200; ++i) {
            b.replyEvents[8].pulse();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const auto start = std::chrono::steady_clock::now();
    const uint8_t mode = 0x11;
    EXPECT_TRUE(b.sendRequest(8, &mode, 1));
    const auto waited = std::chrono::steady_clock::now() - start;
    board.join();
    setRequestSender(nullptr);
    ASSERT_EQ(link.sent.size(), 1u);
    EXPECT_EQ(link.sent[0], (Bytes{0x11, 0x12, 0x08, 0x11, 0x14, 0x11, 0x13}));
    EXPECT_LT(waited, std::chrono::milliseconds(900));  // ended on the answer, not the timeout
}

TEST(SendRequest, WithoutAnswerReturnsAfterTheTimeoutAndRefusesUnframeableRequests) {
    BoardState b;
    SentRecorder link;
    setRequestSender(&link);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(b.sendRequest(1, nullptr, 0));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(990));
    const auto refusedAt = std::chrono::steady_clock::now();
    EXPECT_FALSE(b.sendRequest(50, nullptr, 0));
    EXPECT_LT(std::chrono::steady_clock::now() - refusedAt, std::chrono::milliseconds(500));
    setRequestSender(nullptr);
    EXPECT_EQ(link.sent.size(), 1u);
}
