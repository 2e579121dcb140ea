#include "board/link_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "board/request_frame.h"
#include "board/test_support.h"

using namespace zarn;
using namespace zarn::testing;

namespace {

using Bytes = std::vector<uint8_t>;

struct FakePort : PortIo {
    bool valid() const override { return isValid; }
    int readBytes(uint8_t* buffer, uint32_t capacity) override {
        std::lock_guard lock(mutex);
        ++reads;
        if (onRead) onRead();
        if (readError) return -readError;
        if (input.empty()) return 0;
        Bytes& chunk = input.front();
        const uint32_t n = std::min<uint32_t>(capacity, static_cast<uint32_t>(chunk.size()));
        std::copy(chunk.begin(), chunk.begin() + n, buffer);
        chunk.erase(chunk.begin(), chunk.begin() + n);
        if (chunk.empty()) input.pop_front();
        return static_cast<int>(n);
    }
    int writeBytes(const uint8_t* bytes, uint32_t length) override {
        std::lock_guard lock(mutex);
        if (writeError) return -writeError;
        writes.emplace_back(bytes, bytes + length);
        if (onWrite) onWrite();
        return 0;
    }
    void close() override {
        isValid = false;
        ++closes;
    }
    bool reopen() override {
        ++reopens;
        if (isValid) ++silentReopens;
        isValid = reopenOpens;
        readError = writeError = 0;
        return isValid;
    }
    std::string name() const override { return "/dev/fake"; }
    std::vector<Bytes> writtenCopy() {
        std::lock_guard lock(mutex);
        return writes;
    }
    bool isValid = true;
    std::mutex mutex;
    std::deque<Bytes> input;
    std::vector<Bytes> writes;
    int reads = 0;
    int readError = 0, writeError = 0;
    int closes = 0, reopens = 0, silentReopens = 0;
    bool reopenOpens = false;
    std::function<void()> onRead, onWrite;
};

struct FakeClock : SecondsClock {
    uint32_t seconds() override { return now; }
    std::atomic<uint32_t> now{5000};
};

// Records the length of every wait for a request, and whether the port was watched, instead
// of sleeping it: the clock is the test's.
struct WatchedLinkThread : LinkThread {
    using LinkThread::LinkThread;
    bool waitForRequest(uint32_t waitMs, bool watchPort) override {
        waits.push_back(waitMs);
        watched.push_back(watchPort);
        return LinkThread::waitForRequest(0, watchPort);
    }
    std::vector<uint32_t> waits;
    std::vector<bool> watched;
};

// Never sleeps in its waits, for tests that run many idle passes.
struct QuickLinkThread : LinkThread {
    using LinkThread::LinkThread;
    bool waitForRequest(uint32_t, bool watchPort) override { return LinkThread::waitForRequest(0, watchPort); }
};

Bytes frame(uint8_t type, const Bytes& payload) {
    Bytes out;
    appendFrame(out, type, payload.data(), payload.size());
    return out;
}

Bytes sampleFrame(uint16_t offset) {
    return frame(33, {static_cast<uint8_t>(offset), static_cast<uint8_t>(offset >> 8), 0x60, 0xF9, 0});
}

const Bytes kKeepAlive = {0, 0};

struct LinkThreadTest : ::testing::Test {
    LinkThreadTest() { board.board.notifyWindow = &board.window; }
    WiredBoard board;
    SendSlot slot;
    FakePort port;
    FakeClock clock;
    WatchedLinkThread link{board.board, slot, port, clock};

    void passes(int n) {
        for (int i = 0; i < n; ++i) link.pass();
    }
};

}  // namespace

TEST_F(LinkThreadTest, KeepAliveAtStartThenEveryElevenSeconds) {
    link.begin();
    passes(2);
    EXPECT_EQ(port.writtenCopy(), std::vector<Bytes>{kKeepAlive});
    clock.now = 5010;
    passes(3);
    EXPECT_EQ(port.writtenCopy().size(), 1u) << "10 s is not more than 10 s";
    clock.now = 5011;
    passes(2);
    EXPECT_EQ(port.writtenCopy().size(), 2u);
    clock.now = 5021;
    passes(2);
    EXPECT_EQ(port.writtenCopy().size(), 2u);
    clock.now = 5022;
    passes(2);
    EXPECT_EQ(port.writtenCopy(), (std::vector<Bytes>{kKeepAlive, kKeepAlive, kKeepAlive}));
}

TEST_F(LinkThreadTest, TrafficPostponesTheKeepAlive) {
    link.begin();
    passes(2);  // start-up keep-alive
    clock.now = 5008;
    passes(1);
    port.input.push_back(frame(9, {1}));
    passes(10);
    clock.now = 5015;
    passes(3);
    EXPECT_EQ(port.writtenCopy().size(), 1u) << "a byte at 5008 counts as traffic";
    clock.now = 5019;
    passes(2);
    EXPECT_EQ(port.writtenCopy().size(), 2u);
}

TEST_F(LinkThreadTest, WithoutPortRequestsAreTakenAndEveryPassWaitsForTheKeepAlive) {
    port.isValid = false;
    link.begin();
    const uint8_t request[] = {0x11, 0x12, 0x08, 0x00, 0x11, 0x13};
    slot.store(request, sizeof request);
    passes(3);
    EXPECT_EQ(port.reads, 0);
    EXPECT_TRUE(port.writtenCopy().empty());
    EXPECT_FALSE(slot.pending());
    ASSERT_FALSE(link.waits.empty());
    EXPECT_EQ(link.waits.back(), 11000u);
    for (bool w : link.watched) EXPECT_FALSE(w) << "no port to watch";
}

// An idle link sleeps until there is something to do: the next keep-alive, the silence
// limit, the next look for a lost board; the port is watched all the while. Right after
// bytes came (a stream of frames) it looks again within 10 ms, reading the line in chunks.
TEST_F(LinkThreadTest, AnIdleLinkSleepsUntilTheNextThingDue) {
    link.setSilenceLimit(10);
    link.begin();
    passes(2);  // the keep-alive at start, at 5000
    clock.now = 5003;
    link.waits.clear();
    link.watched.clear();
    passes(1);
    EXPECT_EQ(link.waits, std::vector<uint32_t>{7000}) << "the silence limit at 5010 comes before the keep-alive";
    EXPECT_EQ(link.watched, std::vector<bool>{true});
    port.input.push_back(frame(8, {0}));
    while (link.framesDecoded() == 0) link.pass();
    link.waits.clear();
    link.watched.clear();
    passes(2);
    EXPECT_EQ(link.waits, (std::vector<uint32_t>{LinkThread::kIdleWaitMs, 10000}))
        << "a frame at 5003: the limit at 5013, the keep-alive at 5014";
    EXPECT_EQ(link.watched, (std::vector<bool>{false, true}));
    port.readError = EIO;
    passes(1);
    ASSERT_TRUE(board.board.boardLost);
    link.waits.clear();
    link.watched.clear();
    passes(1);
    EXPECT_EQ(link.waits, std::vector<uint32_t>{2000}) << "the next look at 5005";
    EXPECT_EQ(link.watched, std::vector<bool>{false}) << "no port to watch while lost";
}

TEST_F(LinkThreadTest, StreamedFramesAreDecodedWithoutIdleWaits) {
    clock.now = 0;  // no keep-alive write in the way
    Bytes stream;
    for (uint16_t i = 0; i < 400; ++i) {
        const Bytes f = sampleFrame(static_cast<uint16_t>(1 + i % 833));
        stream.insert(stream.end(), f.begin(), f.end());
    }
    port.input.push_back(stream);
    link.begin();
    while (!port.input.empty()) link.pass();
    const int readsAtEnd = port.reads;
    while (port.reads == readsAtEnd) link.pass();  // the bytes of the last read
    EXPECT_EQ(link.framesDecoded(), 400u);
    int longWaits = 0;
    for (uint32_t w : link.waits) longWaits += w > 0;
    EXPECT_LE(longWaits, 2) << "the line would be read at one frame per 10 ms";
    EXPECT_EQ(board.board.traces[1].samples[1], -1696);
}

TEST_F(LinkThreadTest, FrameEndFollowedAtOnceByNextFrameDecodesBoth) {
    clock.now = 0;
    Bytes two = frame(2, {'A', 'B', 'C', 0});
    const Bytes second = frame(8, {0});
    two.insert(two.end(), second.begin(), second.end());
    port.input.push_back(two);
    link.begin();
    passes(static_cast<int>(two.size()) + 2);
    EXPECT_EQ(link.framesDecoded(), 2u);
    EXPECT_STREQ(board.board.serialNumber, "ABC");
    EXPECT_STREQ(board.board.modeName.load(), "Idle Mode");
}

// Bytes paced at the line rate come one at a time, with empty reads between them.
TEST_F(LinkThreadTest, EmptyReadsInsideAFrameDoNotAbandonIt) {
    clock.now = 0;
    Bytes bytes = sampleFrame(7);
    const Bytes second = frame(2, {'X', 0x11, 'Y', 0});  // an escaped byte inside
    bytes.insert(bytes.end(), second.begin(), second.end());
    for (uint8_t b : bytes) {
        port.input.push_back({b});
        port.input.push_back({});
        port.input.push_back({});
    }
    link.begin();
    while (!port.input.empty()) link.pass();
    passes(2);
    EXPECT_EQ(link.framesDecoded(), 2u);
    EXPECT_EQ(board.board.traces[1].samples[7], -1696);
    EXPECT_STREQ(board.board.serialNumber, "X\x11Y");
    port.input.push_back(frame(9, {1}));
    passes(12);
    EXPECT_EQ(link.framesDecoded(), 3u) << "the delivered frame is released by the idle pass";
}

TEST_F(LinkThreadTest, RequestStoredDuringAStreamIsWrittenAfterTheNextFrame) {
    clock.now = 0;
    Bytes stream;
    for (uint16_t i = 0; i < 3; ++i) {
        const Bytes f = sampleFrame(i);
        stream.insert(stream.end(), f.begin(), f.end());
    }
    port.input.push_back(stream);
    const uint8_t request[] = {0x11, 0x12, 0x08, 0x05, 0x11, 0x13};
    bool stored = false;
    port.onRead = [&] {
        if (!stored) slot.store(request, sizeof request), stored = true;
    };
    uint64_t framesAtWrite = 99;
    port.onWrite = [&] { framesAtWrite = link.framesDecoded(); };
    link.begin();
    passes(static_cast<int>(stream.size()) + 2);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0], Bytes(request, request + sizeof request));
    EXPECT_EQ(framesAtWrite, 1u);
    EXPECT_EQ(link.framesDecoded(), 3u);
}

TEST_F(LinkThreadTest, RunningThreadWritesAStoredRequestPromptly) {
    clock.now = 0;
    link.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const uint8_t request[] = {0x11, 0x12, 0x01, 0x11, 0x13};
    const auto storedAt = std::chrono::steady_clock::now();
    slot.store(request, sizeof request);
    bool written = false;
    while (!written && std::chrono::steady_clock::now() - storedAt < std::chrono::seconds(5)) {
        written = !port.writtenCopy().empty();
        if (!written) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const auto latency = std::chrono::steady_clock::now() - storedAt;
    link.stop();
    ASSERT_TRUE(written);
    EXPECT_EQ(port.writtenCopy()[0], Bytes(request, request + sizeof request));
    EXPECT_LT(latency, std::chrono::milliseconds(1000)) << "written within a pass or so, not left waiting";
}

TEST_F(LinkThreadTest, StopEndsTheThreadAndIsSafeTwice) {
    link.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    link.stop();
    const int readsAfterStop = port.reads;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(port.reads, readsAfterStop);
    link.stop();
}

// Only errors that mean the port's device has gone lose the board; a silent board on a
// working port, or a write that waits too long, does not.
TEST_F(LinkThreadTest, OnlyAGonePortLosesTheBoard) {
    struct Case {
        const char* what;
        int readError, writeError;
        bool lost;
    } cases[] = {
        {"hang-up on read", EIO, 0, true},        {"adapter gone on read", ENXIO, 0, true},
        {"device gone on write", 0, ENODEV, true}, {"write timed out", 0, ETIMEDOUT, false},
        {"bad request to the driver", EINVAL, 0, false}, {"silent board", 0, 0, false},
    };
    for (const auto& c : cases) {
        WiredBoard wired;
        FakePort fake;
        FakeClock quiet;
        QuickLinkThread thread(wired.board, slot, fake, quiet);
        thread.begin();
        fake.readError = c.readError;
        fake.writeError = c.writeError;
        for (uint32_t t = 5000; t < 5030; ++t) {  // keep-alives are written now and then
            quiet.now = t;
            for (int i = 0; i < 3; ++i) thread.pass();
        }
        EXPECT_EQ(wired.board.boardLost.load(), c.lost) << c.what;
        EXPECT_EQ(wired.window.count(WM_BOARD_LOST), c.lost ? 1 : 0) << c.what;
        EXPECT_EQ(fake.closes, c.lost ? 1 : 0) << c.what;
        EXPECT_EQ(fake.reopens, c.lost ? 14 : 0) << c.what << ": a look every 2 s";
    }
}

TEST_F(LinkThreadTest, ALostBoardIsLookedForEveryTwoSecondsAndBackWhenItAnswers) {
    link.begin();
    passes(2);
    port.input.push_back({0x11, 0x12, 0x02, 'O', 'L'});  // the line breaks inside a frame
    passes(6);
    port.readError = EIO;
    passes(2);
    ASSERT_TRUE(board.board.boardLost);
    EXPECT_EQ(board.window.count(WM_BOARD_LOST), 1);
    clock.now = 5001;
    passes(5);
    EXPECT_EQ(port.reopens, 0) << "not before 2 s";
    clock.now = 5002;
    passes(5);
    EXPECT_EQ(port.reopens, 1) << "nothing to open yet: looked once, lost still";
    EXPECT_TRUE(board.board.requests.empty());
    port.reopenOpens = true;
    clock.now = 5004;
    passes(3);
    ASSERT_EQ(port.reopens, 2);
    ASSERT_EQ(board.board.requests.size(), 1u);
    EXPECT_EQ(board.board.requests[0], (Request{1, {}})) << "the board is asked for its version first";
    EXPECT_TRUE(board.board.boardLost) << "an open port is not yet the board";
    EXPECT_EQ(board.window.count(WM_BOARD_ANSWERED), 0);

    port.input.push_back(frame(2, {'N', 'E', 'W', 0}));
    passes(12);
    EXPECT_STREQ(board.board.serialNumber, "NEW") << "the broken frame does not swallow the new board's";
    EXPECT_FALSE(board.board.boardLost);
    EXPECT_EQ(board.window.count(WM_BOARD_ANSWERED), 1);
    EXPECT_EQ(board.window.count(WM_BOARD_LOST), 1);
    clock.now = 5010;
    passes(5);
    EXPECT_EQ(port.reopens, 2) << "a board that answers is not looked for";
}

TEST_F(LinkThreadTest, APortFoundAgainThatStaysSilentIsGivenUpAtTheNextLook) {
    link.begin();
    passes(2);
    port.readError = ENXIO;
    passes(2);
    port.reopenOpens = true;
    clock.now = 5002;
    passes(3);
    ASSERT_EQ(port.reopens, 1);
    clock.now = 5003;
    passes(3);
    EXPECT_EQ(port.reopens, 1);
    clock.now = 5004;
    passes(3);
    EXPECT_EQ(port.reopens, 2);
    EXPECT_EQ(port.silentReopens, 1) << "the silent port was handed back for the next candidate";
    EXPECT_EQ(board.board.requests.size(), 2u) << "the next port is asked for the version too";
    port.input.push_back(frame(8, {0}));
    passes(10);
    EXPECT_FALSE(board.board.boardLost);
    EXPECT_EQ(board.window.count(WM_BOARD_LOST), 1) << "said once, however long it took";
}

// A recorder that nobody watches takes a board that has sent nothing for the limit as
// lost, even on a working port; frames, not keep-alives going out, keep it up.
TEST_F(LinkThreadTest, WithASilenceLimitABoardSilentThatLongIsLost) {
    for (const bool framesFlow : {false, true}) {
        WiredBoard wired;
        FakePort fake;
        FakeClock clock10;
        QuickLinkThread thread(wired.board, slot, fake, clock10);
        thread.setSilenceLimit(10);
        thread.begin();
        for (uint32_t t = 5000; t < 5030 && !wired.board.boardLost; ++t) {
            clock10.now = t;
            if (framesFlow) fake.input.push_back(frame(8, {0}));
            for (int i = 0; i < 8; ++i) thread.pass();
            if (!framesFlow && t == 5009) {
                EXPECT_FALSE(wired.board.boardLost) << "not before 10 s";
            }
        }
        EXPECT_EQ(wired.board.boardLost.load(), !framesFlow) << (framesFlow ? "frames flow" : "silent");
        EXPECT_EQ(wired.window.count(WM_BOARD_LOST), framesFlow ? 0 : 1);
        EXPECT_EQ(fake.closes, framesFlow ? 0 : 1) << "the silent port is closed, to be looked for again";
    }
}

namespace {

struct LostBoardCase {
    const char* what;
    uint8_t mode;
    std::vector<Bytes> before, after;  // frames from the board that is lost, and from the one found again
};

Bytes levelFrame(int16_t level) { return frame(14, {static_cast<uint8_t>(level), static_cast<uint8_t>(level >> 8)}); }
Bytes slotFrame(uint8_t slot, int16_t level) {
    return frame(15, {slot, static_cast<uint8_t>(level), static_cast<uint8_t>(level >> 8)});
}
Bytes levelSample(uint16_t offset, int16_t level) {
    return frame(33, {static_cast<uint8_t>(offset), static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(level),
                      static_cast<uint8_t>(level >> 8), 0});
}

// The levels a record holds in 1/16 dB (best servers' whole dBm scaled up), with what
// stands for "not measured" left out: -130 dBm, and a sweep entry never filled.
std::vector<int> measuredLevels(const Record& r) {
    std::vector<int> levels;
    auto at = [&](size_t i) { return static_cast<int16_t>(r.bytes[i] | (r.bytes[i + 1] << 8)); };
    auto add = [&](int level) {
        if (level != kEmptyLevel) levels.push_back(level);
    };
    switch (r.type) {
    case kModeSingleChannel: add(at(2)), add(at(6)); break;
    case kModeChannelTable:
        for (int k = 0; k < r.bytes[0]; ++k) add(at(1 + 5 * k + 3));
        break;
    case kModeSpectrum:
        for (size_t e = 5; e + 4 <= r.bytes.size(); e += 4)
            if (at(e) != 0 || at(e + 2) != 0) add(at(e + 2));
        break;
    case kModeBestServers:
        for (size_t e = 1; e + 4 <= r.bytes.size(); e += 4) add(at(e + 2) * 16);
        break;
    }
    return levels;
}

}  // namespace

// A board that goes away and comes back: what it measured before is no measurement any
// more. Each record logged after it answers again holds only levels it measured since,
// the rest not measured; the partial sweep or table pass from before is never logged.
TEST_F(LinkThreadTest, LevelsFromBeforeALostBoardAreNotLoggedAgainAfterItComesBack) {
    constexpr int16_t kOld = -800, kNew = -1600;  // -50 dBm before, -100 dBm after
    const std::vector<Bytes> sweepBefore = {levelSample(1, kOld), levelSample(2, kOld), levelSample(3, kOld),
                                            levelSample(4, kOld), levelSample(5, kOld), levelSample(1, kOld),
                                            levelSample(2, kOld), levelSample(3, kOld)};
    const std::vector<Bytes> sweepAfter = {levelSample(1, kNew), levelSample(2, kNew), levelSample(3, kNew),
                                           levelSample(4, kNew), levelSample(5, kNew), levelSample(1, kNew)};
    const LostBoardCase cases[] = {
        {"single channel", kModeSingleChannel, {levelFrame(kOld), levelFrame(kOld)}, {frame(8, {4}), levelFrame(kNew)}},
        {"channel table",
         kModeChannelTable,
         {slotFrame(0, kOld), slotFrame(1, kOld), slotFrame(2, kOld), slotFrame(0, kOld), slotFrame(1, kOld)},
         {slotFrame(0, kNew), slotFrame(1, kNew), slotFrame(2, kNew), slotFrame(0, kNew)}},
        {"spectrum", kModeSpectrum, sweepBefore, sweepAfter},
        {"best servers", kModeBestServers, sweepBefore, sweepAfter},
    };
    for (const LostBoardCase& c : cases) {
        RecordRecorder log;
        WiredBoard wired(&log);
        BoardState& b = wired.board;
        b.setScreenMode(c.mode);
        b.channelTableCount = 3;
        b.sweepCount = 5;
        b.logging = 1;
        FakePort fake;
        FakeClock lostClock;
        SendSlot lostSlot;
        QuickLinkThread thread(b, lostSlot, fake, lostClock, &log);
        thread.begin();
        auto run = [&](const std::vector<Bytes>& frames) {  // until every byte is taken, then a read more
            for (const Bytes& f : frames) fake.input.push_back(f);
            while (!fake.input.empty()) thread.pass();
            for (const int reads = fake.reads; fake.reads == reads;) thread.pass();
            thread.pass();
        };
        run(c.before);
        ASSERT_FALSE(log.records.empty()) << c.what << ": the lost board's records";
        fake.readError = EIO;
        run({});
        ASSERT_TRUE(b.boardLost) << c.what;
        const size_t recordsBefore = log.records.size();
        fake.reopenOpens = true;
        lostClock.now = lostClock.now + LinkThread::kLookAgainAfter;
        run({frame(1, {'N', 'E', 'W', 0})});
        ASSERT_FALSE(b.boardLost) << c.what;
        run(c.after);
        ASSERT_GT(log.records.size(), recordsBefore) << c.what << ": records go on";
        for (size_t i = recordsBefore; i < log.records.size(); ++i) {
            const std::vector<int> levels = measuredLevels(log.records[i]);
            EXPECT_FALSE(levels.empty()) << c.what << ": record " << i << " holds nothing measured";
            for (int level : levels) EXPECT_EQ(level, kNew) << c.what << ": record " << i;
        }
    }
}
