// The channel screens against zarn-board-sim: the main menu's SINGLE CHANNEL
// and CHANNEL TABLE buttons, the options and the open dialog worked as a user
// would, and the simulator's levels reaching the screens.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include "board/board_state.h"
#include "board/level.h"
#include "screens/screen_test_support.h"
#include "screens/single_view.h"
#include "screens/table_view.h"
#include "shell/main_frame.h"
#include "shell/main_menu.h"
#include "shell/shell_test_support.h"
#include "testing/main_menu_e2e.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;

class ChannelScreensE2e : public testing::MainMenuE2e {
protected:
    void SetUp() override {
        MainMenuE2e::SetUp();
        ASSERT_NO_FATAL_FAILURE(startOnMainMenu({}));
    }
    // Follows the single-channel screen until the band's history has grown by `values`;
    // gives the distinct levels seen meanwhile.
    std::set<int16_t> followBand(CSingle* view, int band, size_t values) {
        std::set<int16_t> seen;
        const size_t start = view->history(band).size();
        pumpUntil(
            [&] {
                seen.insert(boardState().level[band]);
                return view->history(band).size() >= std::min(start + values, CSingle::kHistoryLength);
            },
            15s);
        return seen;
    }

    const std::string& root = device.root;
};

TEST_F(ChannelScreensE2e, SingleChannelFollowsOneBandThenBoth) {
    writeFile("opt.zrn", "1\n0\n1\n384\n0\n");  // cellular channel 384, a carrier of the simulator
    shell->backend.whenIdle([this] {
        EXPECT_EQ(shell->backend.modals().back().caption, "Single Channel Options");
        shell->backend.key(VK_RETURN);
    });
    shell->tap(120, 40);  // SINGLE CHANNEL
    auto* view = dynamic_cast<CSingle*>(shell->view());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(boardState().screenMode, kModeSingleChannel);
    EXPECT_EQ(boardState().singleChannelMode, 1);
    const std::set<int16_t> cellular = followBand(view, 0, 20);
    EXPECT_GE(view->history(0).size(), 20u);
    EXPECT_GE(cellular.size(), 3u) << "the level does not move";
    EXPECT_EQ(view->history(1).size(), 0u);
    const double dbm = dbmOfLevel(boardState().level[0]);
    EXPECT_GT(dbm, -70.0);  // the carrier at -55 dBm, fading a few dB
    EXPECT_LT(dbm, -40.0);

    shell->command(ID_MAIN_MENU);
    shell->backend.runUntilIdle();
    ASSERT_NE(dynamic_cast<CMain*>(shell->view()), nullptr);
    writeFile("opt.zrn", "1\n1\n1\n384\n650\n");  // and PCS channel 650, 1962.50 MHz
    shell->backend.whenIdle([this] { shell->backend.key(VK_RETURN); });
    shell->tap(120, 40);
    ASSERT_EQ(shell->view(), view);  // the same screen, its histories kept
    EXPECT_EQ(boardState().singleChannelMode, 2);
    const std::set<int16_t> pcs = followBand(view, 1, 20);
    EXPECT_GE(view->history(1).size(), 20u);
    EXPECT_GE(pcs.size(), 3u) << "the PCS level does not move";
    EXPECT_GE(view->history(0).size(), 40u);  // both bands on every paint
    const double pcsDbm = dbmOfLevel(boardState().level[1]);
    EXPECT_GT(pcsDbm, -75.0);
    EXPECT_LT(pcsDbm, -40.0);
}

TEST_F(ChannelScreensE2e, SampleTableLoadsFromMyDocumentsAndShowsTheLevels) {
    std::filesystem::copy_file(std::string(ZARN_SOURCE_DIR) + "/resources/samples/cellular_survey.kct",
                               root + "/My Documents/cellular_survey.kct");
    for (ChannelSlot& s : boardState().channelTable) s.level = 0;
    shell->backend.whenIdle([this] {
        EXPECT_EQ(shell->backend.modals().back().kind, "filedialog");
        shell->backend.type("cellular_survey");
        shell->backend.key(VK_RETURN);
    });
    shell->tap(120, 75);  // CHANNEL TABLE
    ASSERT_NE(dynamic_cast<CTable*>(shell->view()), nullptr);
    const BoardState& board = boardState();
    ASSERT_EQ(board.channelTableCount, 13);
    EXPECT_EQ(board.screenMode, kModeChannelTable);
    // Every slot gets a level from the board.
    ASSERT_TRUE(pumpUntil(
        [&] {
            for (int i = 0; i < 13; ++i)
                if (board.channelTable[i].level == 0) return false;
            return true;
        },
        15s));
    // Slot 6 is channel 384 (a carrier at -55 dBm), slot 2 channel 100 (noise, about -110 dBm).
    const ChannelSlot carrier = board.channelTable[6];
    const ChannelSlot quiet = board.channelTable[2];
    EXPECT_EQ(+carrier.channel, 384);
    EXPECT_GT(dbmOfLevel(carrier.level), -70.0);
    EXPECT_LT(dbmOfLevel(quiet.level), -95.0);
    shell->view()->InvalidateRect(nullptr, FALSE);
    shell->backend.runUntilIdle();
    const int carrierRow = 11 + 8 * 6 + 3, quietRow = 11 + 8 * 2 + 3;
    EXPECT_NE(shell->pixel(80, carrierRow), RGB(0, 0, 0));  // a long bar
    EXPECT_EQ(shell->pixel(80, quietRow), RGB(0, 0, 0));    // a short one
    EXPECT_NE(shell->pixel(155, quietRow), RGB(0, 0, 0));
}

}  // namespace
}  // namespace zarn
