#include "shell/main_frame.h"

#include <gtest/gtest.h>

#include "board/board_state.h"
#include "platform/gdi/colours.h"
#include "platform/temp_device.h"
#include "platform/ui/app.h"
#include "platform/ui/win_main.h"
#include "platform/ui/window_system.h"
#include "screens/band_raster_view.h"
#include "screens/spectrum_view.h"
#include "screens/table_view.h"
#include "shell/main_menu.h"
#include "shell/shell_test_support.h"

namespace zarn {
namespace {

using testing::ShellHarness;

// A screen that counts its initialisations and paints, for the switch tests.
class CountingScreen : public CFormView {
    DECLARE_DYNCREATE(CountingScreen)
public:
    int initialUpdates = 0;
    int paints = 0;
    void OnInitialUpdate() override { ++initialUpdates; }
    void OnDraw(CDC* dc) override {
        ++paints;
        dc->FillSolidRect(0, 0, 240, 268, RGB(0, 0, 0));
    }
};
IMPLEMENT_DYNCREATE(CountingScreen, CFormView)

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(shell.started); }
    ShellHarness shell;
};

TEST_F(MainFrameTest, StartUpBringsUpTheBoardAndShowsTheBandRasterScreen) {
    EXPECT_EQ(shell.backend.title(), "KMT Zarn");
    EXPECT_TRUE(shell.backend.mapped());
    ASSERT_NE(findIcon(128, 32), nullptr);
    EXPECT_EQ(shell.backend.icon(), findIcon(128, 32));  // the window's icon
    ASSERT_NE(dynamic_cast<CZarnView*>(shell.view()), nullptr);
    EXPECT_EQ(shell.view()->GetDlgCtrlID(), static_cast<int>(AFX_IDW_PANE_FIRST));
    EXPECT_EQ(shell.board.connections, 1);
    EXPECT_EQ(shell.board.threadStarts, 1);
    ASSERT_FALSE(shell.board.requests.empty());
    EXPECT_EQ(shell.board.requests.front(), (testing::Request{1, {}}));
    EXPECT_EQ(boardState().notifyWindow, shell.frame());
    // The start sound plays, asynchronously, and the wait cursor is gone again.
    ASSERT_FALSE(shell.backend.sounds().empty());
    EXPECT_EQ(shell.backend.sounds().back().name, "HOWL");
    EXPECT_TRUE(shell.backend.sounds().back().async);
    EXPECT_FALSE(shell.backend.waitCursorShown());
}

TEST_F(MainFrameTest, CommandBarHasTheSevenCommandsAndTheSixTooltipTexts) {
    CCeCommandBar& bar = shell.frame()->commandBar();
    EXPECT_EQ(bar.buttonCount(), 7);
    EXPECT_EQ(bar.GetDlgCtrlID(), static_cast<int>(AFX_IDW_TOOLBAR));
    const std::vector<std::string> tips = {"File", "Help", "Cut", "Copy", "Paste", "About"};
    EXPECT_EQ(bar.tooltipTexts(), tips);
    const DWORD style = CBRS_TOOLTIPS | CBRS_FLYBY | CBRS_SIZE_FIXED;
    EXPECT_EQ(bar.GetBarStyle() & style, style);
    // Resting on the fourth button shows that command's own text.
    shell.backend.penMove(2 + 24 * 3 + 10, 300);
    shell.backend.runFor(600);
    EXPECT_EQ(bar.tooltipText(), "Store a JPEG image");
}

TEST_F(MainFrameTest, SwitchViewKeepsOneObjectPerScreenAndOneVisiblePane) {
    CMainFrame* frame = shell.frame();
    CView* raster = shell.view();
    frame->SwitchView(RUNTIME_CLASS(CMain), kHiddenScreenId);
    CView* menu = shell.view();
    frame->SwitchView(RUNTIME_CLASS(CountingScreen), kHiddenScreenId);
    auto* counting = dynamic_cast<CountingScreen*>(shell.view());
    ASSERT_NE(counting, nullptr);
    frame->SwitchView(RUNTIME_CLASS(CMain), kHiddenScreenId);
    frame->SwitchView(RUNTIME_CLASS(CountingScreen), kHiddenScreenId);
    frame->SwitchView(RUNTIME_CLASS(CountingScreen), kHiddenScreenId);
    EXPECT_EQ(shell.view(), counting);
    EXPECT_EQ(counting->initialUpdates, 1);
    EXPECT_EQ(raster->GetDocument()->viewCount(), 3u);
    int visible = 0;
    for (CView* v : {raster, menu, static_cast<CView*>(counting)}) {
        const bool active = v == shell.view();
        visible += v->IsWindowVisible();
        EXPECT_EQ(v->IsWindowVisible(), active);
        EXPECT_EQ(v->GetDlgCtrlID(), active ? static_cast<int>(AFX_IDW_PANE_FIRST) : 2);
    }
    EXPECT_EQ(visible, 1);
    shell.backend.runUntilIdle();
    EXPECT_EQ(shell.pixel(120, 100), RGB(0, 0, 0));
}

TEST_F(MainFrameTest, MainMenuCommandBeepsAndIdlesTheBoardEvenOnTheMainMenu) {
    for (int round = 0; round < 2; ++round) {
        const int beeps = shell.backend.beeps();
        shell.board.requests.clear();
        shell.command(ID_MAIN_MENU);
        EXPECT_EQ(shell.backend.beeps(), beeps + 1) << round;
        ASSERT_EQ(shell.board.requests.size(), 1u) << round;
        EXPECT_EQ(shell.board.requests[0], (testing::Request{8, {0}})) << round;
        EXPECT_NE(dynamic_cast<CMain*>(shell.view()), nullptr) << round;
    }
    EXPECT_EQ(shell.view()->GetDocument()->viewCount(), 2u);
}

TEST_F(MainFrameTest, ArrowsDoNothing) {
    CView* before = shell.view();
    shell.board.requests.clear();
    const int beeps = shell.backend.beeps();
    shell.command(ID_UP_ARROW);
    shell.command(ID_DOWN_ARROW);
    EXPECT_EQ(shell.view(), before);
    EXPECT_TRUE(shell.board.requests.empty());
    EXPECT_EQ(shell.backend.beeps(), beeps);
}

TEST_F(MainFrameTest, AboutBoxSuspendsRepaintsAndAlwaysRestoresThem) {
    for (uint8_t before : {uint8_t{1}, uint8_t{0}}) {
        boardState().repaintEnabled = before;
        int seenDuring = -1;
        std::string caption;
        shell.backend.whenIdle([&] { seenDuring = boardState().repaintEnabled; });
        shell.command(ID_ABOUT);
        EXPECT_EQ(seenDuring, 0) << +before;
        EXPECT_EQ(boardState().repaintEnabled, 1) << +before;
        ASSERT_FALSE(shell.backend.modals().empty());
        EXPECT_EQ(shell.backend.modals().back().caption, "About Zarn");
    }
}

TEST_F(MainFrameTest, BoardUpdateRepaintsOnlyTheActiveScreen) {
    CMainFrame* frame = shell.frame();
    frame->SwitchView(RUNTIME_CLASS(CountingScreen), kHiddenScreenId);
    auto* counting = static_cast<CountingScreen*>(shell.view());
    frame->SwitchView(RUNTIME_CLASS(CMain), kHiddenScreenId);
    shell.backend.runUntilIdle();
    const int paints = counting->paints;
    EXPECT_EQ(frame->SendMessage(WM_BOARD_UPDATE), 1);
    EXPECT_TRUE(shell.view()->needsPaint());
    shell.backend.runUntilIdle();
    EXPECT_EQ(counting->paints, paints);
    EXPECT_FALSE(shell.view()->needsPaint());
}

TEST_F(MainFrameTest, LogRecordWithoutALogIsIgnored) {
    EXPECT_EQ(shell.frame()->SendMessage(WM_LOG_RECORD), 1);
}

TEST_F(MainFrameTest, MinimisingEndsTheApplicationAndTakesTheBoardDown) {
    shell.backend.minimiseWindow();
    shell.backend.runUntilIdle();
    EXPECT_EQ(shell.app.m_pMainWnd, nullptr);
    EXPECT_EQ(shell.board.disconnections, 1);
    EXPECT_EQ(boardState().notifyWindow, nullptr);
    EXPECT_EQ(shell.app.Run(), 0);
}

// A lost board shows the title bar's mark and no box; when it answers again, the open
// screen's own requests are sent again.
TEST_F(MainFrameTest, ALostBoardIsMarkedAndItsAnswerBringsBackTheOpenScreensRequests) {
    struct Case {
        const char* what;
        const CRuntimeClass* screen;
        uint8_t mode;
        std::vector<uint8_t> types;
    } cases[] = {
        {"band raster", RUNTIME_CLASS(CZarnView), kModeNone, {}},
        {"main menu after a sweep", RUNTIME_CLASS(CMain), kModeSpectrum, {8}},
        {"spectrum", RUNTIME_CLASS(CSpectrum), kModeSpectrum, {8, 9, 5, 10, 21, 8}},
        {"channel table", RUNTIME_CLASS(CTable), kModeChannelTable, {8, 32, 5, 8}},
    };
    const auto redInTitle = [&] {
        int red = 0;
        for (int y = 0; y < 26; ++y)
            for (int x = 120; x < 180; ++x) red += pixelToRgb(shell.backend.framebuffer().at(x, y)) == kRed;
        return red;
    };
    boardState().channelTableCount = 0;
    for (const auto& c : cases) {
        shell.frame()->SwitchView(c.screen, kHiddenScreenId);
        boardState().setScreenMode(c.mode);
        shell.backend.runUntilIdle();
        const size_t boxes = shell.backend.modals().size();
        shell.frame()->PostMessage(WM_BOARD_LOST);
        shell.backend.runUntilIdle();
        EXPECT_EQ(WindowSystem::get().statusMark().text, "NO BOARD") << c.what;
        EXPECT_GT(redInTitle(), 20) << c.what;
        EXPECT_EQ(shell.backend.modals().size(), boxes) << c.what;

        shell.board.requests.clear();
        shell.frame()->PostMessage(WM_BOARD_ANSWERED);
        shell.backend.runUntilIdle();
        std::vector<uint8_t> types;
        for (const auto& r : shell.board.requests) types.push_back(r.type);
        EXPECT_EQ(types, c.types) << c.what;
        EXPECT_EQ(WindowSystem::get().statusMark().text, "") << c.what;
        EXPECT_EQ(redInTitle(), 0) << c.what;
    }
    boardState().setScreenMode(kModeNone);
}

TEST(ZarnAppTest, FailingSocketsEndTheApplicationWithOneMessageAndNoWindow) {
    setSocketInitFailsForTest(true);
    ShellHarness shell;
    setSocketInitFailsForTest(false);
    EXPECT_FALSE(shell.started);
    ASSERT_EQ(shell.backend.modals().size(), 1u);
    EXPECT_EQ(shell.backend.modals()[0].kind, "messagebox");
    EXPECT_EQ(shell.backend.modals()[0].text, "Windows sockets initialization failed.");
    EXPECT_EQ(shell.app.m_pMainWnd, nullptr);
    EXPECT_EQ(shell.board.connections, 0);
}

TEST(ZarnAppTest, AStartUpThatFailsEndsTheProgramWithStatusOne) {
    testing::TempDevice device;
    setenv("ZARN_UI", "headless", 1);
    setSocketInitFailsForTest(true);
    int status = -1;
    {
        CZarnApp app;
        char* argv[] = {const_cast<char*>("zarn"), nullptr};
        status = AfxWinMain(1, argv);
    }
    setSocketInitFailsForTest(false);
    unsetenv("ZARN_UI");
    EXPECT_EQ(status, 1);
}

}  // namespace
}  // namespace zarn
