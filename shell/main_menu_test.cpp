#include "shell/main_menu.h"

#include <gtest/gtest.h>

#include "board/board_state.h"
#include "platform/gdi/golden.h"
#include "recording/log_recorder.h"
#include "screens/status_strip.h"
#include "shell/about_dlg.h"
#include "shell/shell_test_support.h"

namespace zarn {
namespace {

using testing::ShellHarness;

constexpr COLORREF kIdentityColour = RGB(64, 0, 0);
constexpr COLORREF kLogColour = RGB(0, 0, 196);
constexpr COLORREF kBandColour = RGB(0, 128, 0);
constexpr COLORREF kClockColour = RGB(0, 0, 128);

class MainMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(shell.started);
        boardState().markerCount = 0;
        boardState().logging = 0;
        statusStrip().setPressed(0);
        statusStrip().setClock([] { return LocalTime{2007, 3, 5, 9, 4, 7}; });
        shell.frame()->switchToMainMenu();
        shell.backend.runUntilIdle();
        ASSERT_NE(dynamic_cast<CMain*>(shell.view()), nullptr);
    }
    void TearDown() override { logRecorder().stopLog(boardState()); }
    ShellHarness shell;
};

TEST_F(MainMenuTest, PaintsButtonsAndStatusLinesWithoutTheLogLineWhileNotLogging) {
    for (const MenuButton& b : CMain::kButtons) {
        EXPECT_EQ(shell.pixel(b.rect.left, b.rect.top), kMenuOutline) << b.label;
        EXPECT_EQ(shell.pixel(b.rect.right - 1, b.rect.bottom - 1), kMenuOutline) << b.label;
        EXPECT_EQ(shell.pixel(b.rect.right - 3, b.rect.bottom - 3), kMenuNavy) << b.label;
    }
    EXPECT_EQ(shell.pixel(0, 209), kIdentityColour);
    EXPECT_EQ(shell.pixel(0, 239), kBandColour);
    EXPECT_EQ(shell.pixel(0, 255), kClockColour);
    // No log line: the rows 224..238 keep what the picture put there.
    for (int y = 224; y < 239; ++y) EXPECT_NE(shell.pixel(0, y), kLogColour) << y;
}

TEST_F(MainMenuTest, LogLineShowsWhileLogging) {
    std::string error;
    ASSERT_EQ(logRecorder().startLog(boardState(), ::testing::TempDir() + "menu.zrn", "\\menu.zrn", error), 0);
    shell.view()->InvalidateRect(nullptr, FALSE);
    shell.backend.runUntilIdle();
    EXPECT_EQ(shell.pixel(0, 224), kLogColour);
    EXPECT_EQ(shell.pixel(239, 238), kLogColour);
}

TEST_F(MainMenuTest, MatchesGoldenImage) {
    auto result = compareWithGolden(shell.client(), "main_menu_screen");
    EXPECT_TRUE(result.ok) << result.message;
}

TEST_F(MainMenuTest, IncBoxAddsOneMarkerPingsAndStaysPressed) {
    for (int taps = 1; taps <= 2; ++taps) {
        shell.tap(205, 256);
        EXPECT_EQ(boardState().markerCount, taps);
        EXPECT_EQ(statusStrip().isPressed(), 1);
        ASSERT_FALSE(shell.backend.sounds().empty());
        EXPECT_EQ(shell.backend.sounds().back().name, "PING");
        EXPECT_TRUE(shell.backend.sounds().back().async);
    }
    // Drawn pressed: red face inside the frame; release does not undo it here.
    shell.backend.penUp(206, 26 + 257);
    shell.backend.runUntilIdle();
    EXPECT_EQ(shell.pixel(206, 257), RGB(255, 0, 0));
    EXPECT_EQ(statusStrip().isPressed(), 1);
}

TEST_F(MainMenuTest, TapsOutsideEveryBoxDoNothing) {
    const CPoint misses[] = {{220, 25}, {19, 40}, {120, 57}, {120, 160}, {238, 260}, {204, 260}, {210, 268}};
    for (CPoint p : misses) {
        shell.board.requests.clear();
        const size_t sounds = shell.backend.sounds().size();
        shell.tap(p.x, p.y);
        EXPECT_EQ(boardState().markerCount, 0) << p.x << "," << p.y;
        EXPECT_EQ(shell.backend.sounds().size(), sounds) << p.x << "," << p.y;
        EXPECT_TRUE(shell.board.requests.empty()) << p.x << "," << p.y;
        EXPECT_NE(dynamic_cast<CMain*>(shell.view()), nullptr);
    }
}

TEST_F(MainMenuTest, ButtonHitTestingIsRightAndBottomExclusive) {
    EXPECT_EQ(menuButtonAt(CMain::kButtons, {20, 25}), CMain::kSingleChannel);
    EXPECT_EQ(menuButtonAt(CMain::kButtons, {220, 30}), -1);
    EXPECT_EQ(menuButtonAt(CMain::kButtons, {100, 55}), -1);
    EXPECT_EQ(menuButtonAt(CMain::kButtons, {100, 60}), CMain::kChannelTable);
    EXPECT_EQ(menuButtonAt(CMain::kButtons, {219, 124}), CMain::kSpectrumAnalysis);
    EXPECT_EQ(menuButtonAt(CMain::kButtons, {20, 159}), CMain::kBestServers);
}

TEST_F(MainMenuTest, AboutBoxMatchesGoldenImageWithTheVersionOnTwoLines) {
    Surface shown;
    shell.backend.whenIdle([&] { shown = shell.backend.framebuffer(); });
    shell.command(ID_ABOUT);
    ASSERT_EQ(shown.width, 240);
    auto result = compareWithGolden(shown, "about_box");
    EXPECT_TRUE(result.ok) << result.message;
}

}  // namespace
}  // namespace zarn
