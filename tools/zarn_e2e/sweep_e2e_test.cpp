// The sweep screens against zarn-board-sim: opened from the main menu, the
// simulator's strongest carriers show as peaks of the spectrum and as the top
// rows of best servers.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "board/board_state.h"
#include "recording/synthetic_log.h"
#include "screens/screen_test_support.h"
#include "screens/server_paint.h"
#include "screens/server_view.h"
#include "screens/spectrum_actions.h"
#include "screens/spectrum_view.h"
#include "shell/main_frame.h"
#include "shell/main_menu.h"
#include "shell/shell_test_support.h"
#include "testing/main_menu_e2e.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;

// The standard scene's two strongest cellular carriers, as band offsets.
constexpr uint16_t kStrongest = 417;  // 881.52 MHz, -55 dBm
constexpr uint16_t kSecond = 34;      // 870.03 MHz, -62 dBm

class SweepE2e : public testing::MainMenuE2e {
protected:
    // On the main menu, with the whole cellular band as the spectrum's options and trace 1 empty.
    void startSweeps(std::vector<std::string> args) {
        ASSERT_NO_FATAL_FAILURE(startOnMainMenu(std::move(args)));
        writeFile("opts.zrn", "0\n0\n881.52\n30\n");
        writeFile("optv.zrn", "0\n9\n");
        for (int i = 0; i < kTraceOffsets; ++i) boardState().traces[1].samples[i] = kEmptyLevel;
        selectTrace(boardState(), 1);
    }
    // Opens a screen from the main menu, confirming its options dialog.
    void openFromMenu(CPoint button) {
        shell->backend.whenIdle([this] { shell->backend.key(VK_RETURN); });
        shell->tap(button.x, button.y);
    }
};

TEST_F(SweepE2e, CarriersShowAsPeaksAndAsTheBestServers) {
    ASSERT_NO_FATAL_FAILURE(startSweeps({}));
    BoardState& board = boardState();

    openFromMenu({120, 110});  // SPECTRUM ANALYSIS
    ASSERT_NE(dynamic_cast<CSpectrum*>(shell->view()), nullptr);
    EXPECT_EQ(board.screenMode, kModeSpectrum);
    EXPECT_EQ(board.sweepStart, 1);
    EXPECT_EQ(board.sweepCount, 832);
    // A whole sweep has arrived once the position has run past both carriers and wrapped.
    ASSERT_TRUE(pumpUntil([&] { return board.traces[1].samples[kStrongest] > -70 * 16 &&
                                       board.traces[1].samples[kSecond] > -75 * 16 && board.sweepPosition > 500; },
                          20s));
    markerToPeak(board);
    EXPECT_TRUE(board.markerOffset == kStrongest || board.markerOffset == kSecond) << board.markerOffset;
    EXPECT_LT(board.traces[1].samples[200], -95 * 16);  // the noise floor between them
    shell->view()->InvalidateRect(nullptr, FALSE);
    shell->backend.runUntilIdle();
    const auto peakTop = [&](uint16_t offset) {
        const int x = 30 + (offset - 1) * 201 / 832;
        for (int y = 24; y < 157; ++y)
            for (int dx = -1; dx <= 1; ++dx)
                if (shell->pixel(x + dx, y) == RGB(192, 0, 0)) return y;
        return 157;
    };
    EXPECT_LE(peakTop(kStrongest), 24 + 50 * 133 / 110);  // above -70 dBm
    EXPECT_LE(peakTop(kSecond), 24 + 55 * 133 / 110);     // above -75 dBm
    EXPECT_GE(peakTop(200), 24 + 72 * 133 / 110);         // the floor: below -92 dBm

    shell->command(ID_MAIN_MENU);
    ASSERT_NE(dynamic_cast<CMain*>(shell->view()), nullptr);
    for (ServerEntry& e : board.bestServers) e = {0, -130};
    openFromMenu({120, 145});  // BEST SERVERS
    ASSERT_NE(dynamic_cast<CServer*>(shell->view()), nullptr);
    EXPECT_EQ(board.screenMode, kModeBestServers);
    EXPECT_EQ(board.sweepCount, 833);
    ASSERT_TRUE(pumpUntil([&] { return board.bestServers[0].level > -70; }, 20s));
    std::vector<uint16_t> top;
    for (int i = 0; i < 4; ++i) top.push_back(uint16_t{board.bestServers[i].offset});
    EXPECT_TRUE(top[0] == kStrongest || top[0] == kSecond) << top[0];
    EXPECT_NE(std::find(top.begin(), top.end(), kStrongest), top.end());
    EXPECT_NE(std::find(top.begin(), top.end(), kSecond), top.end());
    for (uint16_t offset : top)
        EXPECT_TRUE(offset == kSecond || (offset >= kStrongest - 1 && offset <= kStrongest + 1)) << offset;
    // The screen's first row reads the strongest point.
    shell->view()->InvalidateRect(nullptr, FALSE);
    shell->backend.runUntilIdle();
    const ServerEntry first = board.bestServers[0];
    const ServerRow row = serverRow(board, first);
    EXPECT_TRUE(row.frequency == "881.52" || row.frequency == "870.03") << row.frequency;
    const CRect cell{50, 87, 100, 94};
    const Surface expected =
        testing::drawnText(row.frequency, cell, RGB(255, 255, 255), RGB(0, 0, 128), DT_CENTER | DT_VCENTER);
    int differing = 0;
    const Surface shown = shell->client();
    for (int y = cell.top; y < cell.bottom; ++y)
        for (int x = cell.left; x < cell.right; ++x)
            differing += (shown.at(x, y) == 0xFFFFFF) != (expected.at(x, y) == 0xFFFFFF);
    EXPECT_EQ(differing, 0);
}

// A survey played back: the spectrum shows the recorded carrier, not the simulator's own.
TEST_F(SweepE2e, AReplayedSurveyShowsOnTheSpectrum) {
    constexpr uint16_t kRecorded = 600;  // 887.01 MHz
    const std::string log = ::testing::TempDir() + "zarn_replayed_survey.zrn";
    {
        SyntheticLog survey(log);
        for (int s = 0; s < 4; ++s)
            survey.sweep(0, 1, 832, [](uint16_t o) { return static_cast<int16_t>(o == kRecorded ? -40 * 16 : -110 * 16); });
        ASSERT_TRUE(survey.ok());
    }
    ASSERT_NO_FATAL_FAILURE(startSweeps({"--replay", log}));
    BoardState& board = boardState();
    openFromMenu({120, 110});  // SPECTRUM ANALYSIS
    ASSERT_NE(dynamic_cast<CSpectrum*>(shell->view()), nullptr);
    const auto& samples = board.traces[1].samples;
    ASSERT_TRUE(pumpUntil([&] { return samples[kRecorded] > -50 * 16 && samples[832] != kEmptyLevel; }, 20s));
    EXPECT_LT(samples[kStrongest], -100 * 16);  // the scene's carrier is not on the recording
    EXPECT_LT(samples[kSecond], -100 * 16);
    markerToPeak(board);
    EXPECT_EQ(board.markerOffset, kRecorded);
    std::remove(log.c_str());
}

}  // namespace
}  // namespace zarn
