#pragma once
// MainMenuE2e: the application, in process, against zarn-board-sim on a
// pseudo-terminal, brought up the way a user does: start-up, the board's
// identity read, a raster picked (1900, 50 kHz), the main menu shown.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "board/board_state.h"
#include "screens/screen_test_support.h"
#include "shell/main_frame.h"
#include "shell/main_menu.h"
#include "shell/shell_test_support.h"
#include "testing/sim_device.h"

namespace zarn::testing {

// Single channel on cellular channel 384, logged to \My Documents\zarnlog.zrn, as a user does it.
inline void recordSingleChannel(ShellHarness& shell, const std::string& root) {
    std::ofstream(root + "/opt.zrn") << "1\n0\n1\n384\n0\n";
    shell.backend.whenIdle([&] { shell.backend.key(VK_RETURN); });
    shell.tap(120, 40);  // SINGLE CHANNEL
    shell.backend.whenIdle([&] { shell.backend.key(VK_RETURN); });
    shell.command(ID_LOG_START);
}

class MainMenuE2e : public ::testing::Test {
protected:
    void SetUp() override { setenv("ZARN_MUTE", "1", 1); }
    void TearDown() override { shell.reset(); }  // the program goes before its board

    // Starts the simulator with `args` and the program against it, up to the main menu.
    void startOnMainMenu(std::vector<std::string> args) {
        using namespace std::chrono_literals;
        std::string error;
        ASSERT_TRUE(device.start(ZARN_BOARD_SIM_PATH, std::move(args), error)) << error;
        shell = std::make_unique<ShellHarness>(ShellHarness::Board::Serial);
        ASSERT_TRUE(shell->started);
        ASSERT_TRUE(pumpUntil([] { return std::strcmp(boardState().serialNumber, "XXXXXX") != 0; }, 5s));
        shell->tap(120, 170);  // 1900 (50kHz)
        ASSERT_NE(dynamic_cast<CMain*>(shell->view()), nullptr);
    }
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds most) {
        return testing::pumpUntil(shell->backend, done, most);
    }
    // A file below the device root, for the program to find when it next looks.
    void writeFile(const std::string& relative, const std::string& text) {
        std::ofstream(device.root + "/" + relative, std::ios::binary) << text;
    }

    SimDevice device;
    std::unique_ptr<ShellHarness> shell;
};

}  // namespace zarn::testing
