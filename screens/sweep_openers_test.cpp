#include "screens/sweep_openers.h"

#include <gtest/gtest.h>

#include "screens/screen_test_support.h"
#include "screens/server_paint.h"
#include "screens/server_view.h"
#include "screens/spectrum_view.h"
#include "screens/sweep_test_support.h"
#include "platform/temp_device.h"

namespace zarn {
namespace {

using testing::ScreenHarness;

class SweepOpenersTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::resetSweep(board);
        board.setScreenMode(kModeNone);
    }
    BoardState& board = boardState();
    testing::TempDevice root;
    ScreenHarness screen{RUNTIME_CLASS(CSpectrum)};
    testing::AnsweringSender sender{board};
};

const std::vector<uint8_t> kSweepStart = {8, 9, 5, 10, 21, 8};

TEST_F(SweepOpenersTest, SpectrumAnalysisRunsItsOptionsThenStartsTheSweep) {
    root.writeBelowRoot("opts.zrn", "0\n0\n881.520000\n3.000000\n");
    int repaintDuringDialog = -1;
    screen.backend.whenIdle([&] {
        repaintDuringDialog = board.repaintEnabled;
        ASSERT_FALSE(screen.backend.modals().empty());
        EXPECT_EQ(screen.backend.modals().back().caption, "Spectrum Options");
        EXPECT_EQ(sender.types, std::vector<uint8_t>{8});  // stopped before the dialog
        screen.backend.key(VK_RETURN);
    });
    openSpectrumAnalysis(board, screen.frame(), 2);
    EXPECT_EQ(repaintDuringDialog, 0);
    EXPECT_EQ(board.repaintEnabled, 1);
    ASSERT_EQ(screen.frame()->switches.size(), 1u);
    EXPECT_EQ(screen.frame()->switches[0], RUNTIME_CLASS(CSpectrum));
    EXPECT_EQ(sender.types, kSweepStart);
    EXPECT_EQ(board.sweepStart, 367);
    EXPECT_EQ(board.sweepCount, 101);
    EXPECT_EQ(board.markerOffset, 417);
    EXPECT_EQ(board.screenMode, kModeSpectrum);
    EXPECT_EQ(screen.backend.sounds().front().name, "Online");
}

TEST_F(SweepOpenersTest, CancellingStillAppliesWhatWasLoaded) {
    root.writeBelowRoot("opts.zrn", "1\n0\n1960.0\n10.0\n");
    screen.backend.whenIdle([&] { screen.backend.key(VK_ESCAPE); });
    openSpectrumAnalysis(board, screen.frame(), 2);
    EXPECT_EQ(board.bandIndex, 1);
    EXPECT_EQ(board.sweepStart, 2500);
    EXPECT_EQ(board.sweepStep, 5);
    EXPECT_EQ(sender.types, kSweepStart);
    EXPECT_EQ(root.readBelowRoot("opts.zrn"), "1\n0\n1960.000000\n10.000000\n");
}

TEST_F(SweepOpenersTest, BestServersWithoutAnyChoiceSweepsTheKeptBandWhole) {
    board.bandIndex = 0;
    screen.backend.whenIdle([&] { screen.backend.key(VK_RETURN); });
    openBestServers(board, screen.frame(), 2);
    ASSERT_EQ(screen.frame()->switches.size(), 1u);
    EXPECT_EQ(screen.frame()->switches[0], RUNTIME_CLASS(CServer));
    EXPECT_EQ(board.bandIndex, 0);  // never 255
    EXPECT_EQ(board.sweepStart, 1);
    EXPECT_EQ(board.sweepCount, 833);  // not the spectrum screen's 201 points
    EXPECT_EQ(progressText(board), "Current Channel = 9999 of 833");
    EXPECT_EQ(sender.types, kSweepStart);
    EXPECT_EQ(board.screenMode, kModeBestServers);
    EXPECT_EQ(root.readBelowRoot("optv.zrn"), "-1\n-1\n");
}

TEST_F(SweepOpenersTest, BestServersOnPcsSweepsTheWholeBand) {
    root.writeBelowRoot("optv.zrn", "1\n9\n");
    board.pcsPlan.setPcsRaster(200000);
    screen.backend.whenIdle([&] { screen.backend.key(VK_RETURN); });
    openBestServers(board, screen.frame(), 2);
    EXPECT_EQ(board.bandIndex, 1);
    EXPECT_EQ(board.sweepStart, 20);
    EXPECT_EQ(board.sweepStep, 20);
    EXPECT_EQ(board.sweepCount, 298);
    EXPECT_EQ(sender.types, kSweepStart);
}

}  // namespace
}  // namespace zarn
