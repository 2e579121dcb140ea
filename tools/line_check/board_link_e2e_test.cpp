// The link thread against zarn-board-sim over a real pseudo-terminal.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "board/board_sequences.h"
#include "board/link_thread.h"
#include "board/serial_link.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "platform/registry_file.h"
#include "testing/sim_device.h"

using namespace zarn;
using namespace std::chrono_literals;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

template <typename Done>
bool waitFor(Done done, std::chrono::milliseconds most) {
    const auto until = std::chrono::steady_clock::now() + most;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// One connection of the program: link, thread and request sender, torn down in order.
struct Connection {
    explicit Connection(BoardState& board) : thread(board, link.sendSlot(), link, clock) {
        setRequestSender(&link);
        thread.start();
    }
    ~Connection() {
        thread.stop();
        setRequestSender(nullptr);
    }
    SerialLink link{38400};
    SystemSecondsClock clock;
    LinkThread thread;
};

struct BoardLinkE2e : ::testing::Test {
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(device.start(ZARN_BOARD_SIM_PATH, {}, error)) << error;
    }
    SimDevice device;
    const std::string& root = device.root;
    SimProcess& sim = device.sim;
    BoardState board;
};

}  // namespace

TEST_F(BoardLinkE2e, VersionRequestBringsFirmwareAndSerialNumber) {
    ASSERT_NE(readFile(root + "/registry.reg").find(sim.ptyPath()), std::string::npos);
    Connection c(board);
    ASSERT_TRUE(c.link.valid());
    EXPECT_EQ(std::string(c.link.portName()), sim.ptyPath());
    const auto start = std::chrono::steady_clock::now();
    board.sendMode(0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 900ms) << "the answer ends the wait";
    EXPECT_STREQ(board.modeName.load(), "Idle Mode");
    // Reply 1 makes the decoder ask for the serial number without waiting for it.
    startBoard(board);
    EXPECT_TRUE(waitFor([&] { return std::strcmp(board.firmwareVersion, "SIM 2.10") == 0; }, 5000ms))
        << board.firmwareVersion;
    EXPECT_TRUE(waitFor([&] { return std::strcmp(board.serialNumber, "ZS004217") == 0; }, 5000ms))
        << board.serialNumber;
}

TEST_F(BoardLinkE2e, SweepSamplesFillTheTraceAndThePortReopens) {
    {
        Connection c(board);
        board.bandIndex = 0;
        board.sweepStart = 400;
        board.sweepCount = 30;
        board.sweepStep = 1;
        returnToIdle(board);
        startSweep(board);
        EXPECT_TRUE(waitFor([&] { return board.traces[1].samples[417] > -70 * 16; }, 5000ms))
            << board.traces[1].samples[417];
        EXPECT_LT(board.traces[1].samples[405], -100 * 16);
        returnToIdle(board);
    }
    std::strcpy(board.firmwareVersion, "0.00");
    Connection again(board);
    ASSERT_TRUE(again.link.valid());
    board.sendVersionRequest();
    EXPECT_TRUE(waitFor([&] { return std::strcmp(board.firmwareVersion, "SIM 2.10") == 0; }, 5000ms));
}

TEST_F(BoardLinkE2e, SimulatorRemovesItsKeyAndReportsFrames) {
    {
        Connection c(board);
        board.sendMode(0);
        board.sendBand(1);
    }
    ASSERT_TRUE(sim.stop());
    EXPECT_EQ(readFile(root + "/registry.reg").find("ZarnSim"), std::string::npos);
    EXPECT_GE(sim.framesSent(), 2);
    EXPECT_EQ(sim.framesSent(9), 1);
    const std::string capture = readFile(root + "/capture.bin");
    EXPECT_NE(capture.find(std::string("\x11\x12\x09\x01\x11\x13", 6)), std::string::npos);
}
