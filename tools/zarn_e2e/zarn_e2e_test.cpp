// The receiver application against zarn-board-sim over a pseudo-terminal: in
// process through the headless window system, and as the real program.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "board/board_state.h"
#include "platform/registry.h"
#include "platform/registry_file.h"
#include "screens/screen_test_support.h"
#include "shell/main_menu.h"
#include "shell/shell_test_support.h"
#include "tools/line_check/sim_process.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ZarnE2e : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/zarn-app-e2e-XXXXXX";
        root = mkdtemp(tmpl);
        setenv("ZARN_ROOT", root.c_str(), 1);
        setenv("ZARN_MUTE", "1", 1);
        std::string error;
        ASSERT_TRUE(sim.start(ZARN_BOARD_SIM_PATH, {"--capture", root + "/capture.bin"}, error)) << error;
        loadRegistry(registryFilePath(), root + "/no-adapters");
    }
    void TearDown() override {
        sim.stop();
        registry::clear();
        unsetenv("ZARN_ROOT");
        ASSERT_EQ(system(("rm -rf '" + root + "'").c_str()), 0);
    }
    std::string root;
    SimProcess sim;
};

// Works off the window system's messages until done() or the time is up.
template <typename Done>
bool pumpUntil(HeadlessBackend& backend, Done done, std::chrono::milliseconds most) {
    const auto until = Clock::now() + most;
    while (!done()) {
        if (Clock::now() > until) return false;
        backend.runUntilIdle();
        std::this_thread::sleep_for(10ms);
    }
    backend.runUntilIdle();
    return true;
}

TEST_F(ZarnE2e, StartsAgainstTheBoardShowsItsIdentityAndTakesARaster) {
    const auto start = Clock::now();
    testing::ShellHarness shell(testing::ShellHarness::Board::Serial);
    const auto firstPaint = Clock::now();
    ASSERT_TRUE(shell.started);
    const auto startupMs = std::chrono::duration_cast<std::chrono::milliseconds>(firstPaint - start).count();
    ::testing::Test::RecordProperty("startup_to_first_paint_ms", static_cast<int>(startupMs));
    std::printf("start to first paint of the band-raster screen: %lld ms\n", static_cast<long long>(startupMs));
    EXPECT_GE(startupMs, 3000);
    EXPECT_GT(shell.backend.presents(), 0);
    ASSERT_FALSE(shell.backend.sounds().empty());
    EXPECT_EQ(shell.backend.sounds().back().name, "HOWL");

    EXPECT_TRUE(pumpUntil(shell.backend, [] { return std::strcmp(boardState().serialNumber, "ZS004217") == 0; }, 5s));
    EXPECT_STREQ(boardState().firmwareVersion, "SIM 2.10");

    shell.tap(120, 200);  // 1900 (200kHz)
    EXPECT_EQ(boardState().pcsPlan.pcsRaster(), 200000u);
    ASSERT_NE(dynamic_cast<CMain*>(shell.view()), nullptr);
    shell.view()->InvalidateRect(nullptr, FALSE);
    shell.backend.runUntilIdle();
    const CRect identity{0, 209, 240, 224};
    const Surface expected = testing::drawnText("(Firmware Version SIM 2.10)(Serial Number ZS004217)", identity,
                                                RGB(255, 255, 255), RGB(64, 0, 0), DT_CENTER | DT_VCENTER);
    EXPECT_EQ(testing::firstDifference(shell.client(), expected, identity), "");
    const CRect band{0, 239, 240, 254};
    const Surface bandText = testing::drawnText("(869.01-893.97MHz/30kHz) (1930.00-1990.00/200kHz)", band,
                                                RGB(255, 255, 255), RGB(0, 128, 0), DT_CENTER | DT_VCENTER);
    EXPECT_EQ(testing::firstDifference(shell.client(), bandText, band), "");
}

TEST_F(ZarnE2e, TheProgramStartsTakesThreeSecondsAndEndsCleanly) {
    const auto start = Clock::now();
    const std::string command = "ZARN_UI=headless '" ZARN_PROGRAM_PATH "' > '" + root + "/out.txt' 2>&1";
    const int status = system(command.c_str());
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << readFile(root + "/out.txt");
    EXPECT_GE(ms, 3000);
    // The board got the version request, and the answer brought the serial-number request.
    ASSERT_TRUE(sim.stop());
    EXPECT_EQ(sim.framesSent(1), 1);
    EXPECT_EQ(sim.framesSent(2), 1);
    const std::string sent = readFile(root + "/capture.bin");
    EXPECT_NE(sent.find("\x11\x12\x01\x11\x13"), std::string::npos);
    EXPECT_NE(sent.find("\x11\x12\x02\x11\x13"), std::string::npos);
    EXPECT_TRUE(std::chrono::milliseconds(ms) < 20s);
}

}  // namespace
}  // namespace zarn
