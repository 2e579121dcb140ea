#include "platform/ui/frame.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/gdi/resource.h"
#include "platform/headless/headless_backend.h"
#include "platform/ui/app.h"
#include "platform/ui/window_system.h"

namespace zarn {
namespace {

class TestDoc : public CDocument {
    DECLARE_DYNCREATE(TestDoc)
};
IMPLEMENT_DYNCREATE(TestDoc, CDocument)

class FirstView : public CFormView {
    DECLARE_DYNCREATE(FirstView)
public:
    int initialUpdates = 0;
    int draws = 0;
    std::vector<CPoint> downs;
    void OnInitialUpdate() override { ++initialUpdates; }
    void OnDraw(CDC* dc) override {
        ++draws;
        dc->FillSolidRect(0, 0, 240, 268, RGB(255, 192, 0));
    }
    void OnLButtonDown(UINT, CPoint p) override { downs.push_back(p); }
};
IMPLEMENT_DYNCREATE(FirstView, CFormView)

class SecondView : public CFormView {
    DECLARE_DYNCREATE(SecondView)
public:
    int initialUpdates = 0;
    void OnInitialUpdate() override { ++initialUpdates; }
    void OnDraw(CDC* dc) override { dc->FillSolidRect(0, 0, 240, 268, RGB(0, 0, 0)); }
};
IMPLEMENT_DYNCREATE(SecondView, CFormView)

// A toolbar strip of seven red squares.
const uint32_t kStripRuns[] = {112 * 16, 0x00FF0000};
const BitmapResource kStrip[] = {{4128, 112, 16, 4, kStripRuns, 1, nullptr}};
const StringResource kStrings[] = {{32771, "New channel table"}, {32772, "Help"}};
ResourceTable frameTable() {
    ResourceTable t;
    t.bitmaps = kStrip;
    t.bitmapCount = 1;
    t.strings = kStrings;
    t.stringCount = std::size(kStrings);
    return t;
}
const ResourceTable kTable = frameTable();
const bool kRegistered = registerResources(&kTable);

constexpr UINT kCommands[7] = {32771, 32772, 32773, 32774, 32775, 32776, 32777};

class TestFrame : public CFrameWnd {
    DECLARE_DYNCREATE(TestFrame)
public:
    CCeCommandBar bar;
    std::vector<UINT> commands;
    std::vector<UINT> sizes;
    int OnCreate(LPCREATESTRUCT cs) override {
        if (CFrameWnd::OnCreate(cs) == -1) return -1;
        if (!bar.Create(this)) return -1;
        if (!kRegistered || !bar.LoadToolBar(4128, kCommands, 7)) return -1;
        static const char* const tips[] = {"File", "Help"};
        bar.SendMessage(TB_SETTOOLTIPS, 2, reinterpret_cast<LPARAM>(tips));
        RecalcLayout();
        return 0;
    }
    BOOL OnCommand(WPARAM w, LPARAM) override {
        commands.push_back(static_cast<UINT>(w));
        return TRUE;
    }
    void OnSize(UINT type, int cx, int cy) override {
        sizes.push_back(type);
        CFrameWnd::OnSize(type, cx, cy);
        if (type == SIZE_MINIMIZED) SendMessage(WM_CLOSE);
    }

    // The frame's screen switch, as the application does it.
    void switchTo(const CRuntimeClass* cls) {
        CView* old = GetActiveView();
        if (old->IsKindOf(cls)) return;
        CView* next = nullptr;
        CDocument* doc = GetActiveDocument();
        for (POSITION pos = doc->GetFirstViewPosition(); pos != 0;) {
            CView* v = doc->GetNextView(pos);
            if (v->IsKindOf(cls)) {
                next = v;
                break;
            }
        }
        if (!next) {
            CCreateContext ctx;
            ctx.m_pNewViewClass = cls;
            ctx.m_pCurrentDoc = doc;
            next = CreateView(&ctx, 2);
            next->OnInitialUpdate();
        }
        SetActiveView(next);
        next->ShowWindow(SW_SHOW);
        old->ShowWindow(SW_HIDE);
        old->SetDlgCtrlID(next->GetDlgCtrlID());
        next->SetDlgCtrlID(AFX_IDW_PANE_FIRST);
        RecalcLayout();
    }
};
IMPLEMENT_DYNCREATE(TestFrame, CFrameWnd)

class TestApp : public CWinApp {
public:
    BOOL InitInstance() override {
        AddDocTemplate(new CSingleDocTemplate(128, RUNTIME_CLASS(TestDoc), RUNTIME_CLASS(TestFrame),
                                              RUNTIME_CLASS(FirstView)));
        CCommandLineInfo info;
        ParseCommandLine(info);
        if (!ProcessShellCommand(info)) return FALSE;
        m_pMainWnd->SetWindowText("KMT Test");
        m_pMainWnd->ShowWindow(SW_SHOW);
        m_pMainWnd->UpdateWindow();
        return TRUE;
    }
};

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        backend.install();
        ASSERT_TRUE(app.InitInstance());
        frame = static_cast<TestFrame*>(app.m_pMainWnd);
        backend.runUntilIdle();
    }
    HeadlessBackend backend;
    TestApp app;
    TestFrame* frame = nullptr;
};

TEST_F(FrameTest, StartUpMakesDocumentFrameAndFirstView) {
    auto* view = dynamic_cast<FirstView*>(frame->GetActiveView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetDlgCtrlID(), static_cast<int>(AFX_IDW_PANE_FIRST));
    EXPECT_EQ(view->initialUpdates, 1);
    EXPECT_NE(dynamic_cast<TestDoc*>(view->GetDocument()), nullptr);
    EXPECT_EQ(view->screenRect(), CRect(0, 26, 240, 294));
    EXPECT_EQ(frame->bar.screenRect(), CRect(0, 294, 240, 320));
    EXPECT_TRUE(backend.mapped());
    EXPECT_EQ(backend.title(), "KMT Test");
    // The view painted its client area, nothing else.
    EXPECT_EQ(pixelToRgb(backend.framebuffer().at(0, 26)), RGB(255, 192, 0));
    EXPECT_EQ(pixelToRgb(backend.framebuffer().at(239, 293)), RGB(255, 192, 0));
    EXPECT_EQ(pixelToRgb(backend.framebuffer().at(0, 25)), RGB(0, 0, 128));
    EXPECT_EQ(pixelToRgb(backend.framebuffer().at(0, 294)), RGB(192, 192, 192));
    // Button k's image is centred in x 2+24k..2+24k+22, rows 296..317.
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(pixelToRgb(backend.framebuffer().at(2 + 24 * k + 3, 299)), RGB(255, 0, 0)) << k;
        EXPECT_EQ(pixelToRgb(backend.framebuffer().at(2 + 24 * k + 18, 314)), RGB(255, 0, 0)) << k;
        EXPECT_EQ(pixelToRgb(backend.framebuffer().at(2 + 24 * k + 19, 314)), RGB(192, 192, 192)) << k;
    }
}

// A status mark is right-aligned in x 120..179 in its own colour, and taking it
// away gives back exactly the title bar that was there before.
TEST_F(FrameTest, AStatusMarkStandsLeftOfTheClockAndLeavesNoTrace) {
    const Surface before = backend.framebuffer();
    WindowSystem::get().setStatusMark({"NO BOARD", RGB(255, 0, 0)});
    backend.runUntilIdle();
    const Surface& shown = backend.framebuffer();
    int markLeft = 240, markRight = -1;
    for (int y = 0; y < 26; ++y)
        for (int x = 0; x < 240; ++x) {
            if (pixelToRgb(shown.at(x, y)) != RGB(255, 0, 0)) continue;
            markLeft = std::min(markLeft, x);
            markRight = std::max(markRight, x);
        }
    EXPECT_GE(markLeft, 120);
    EXPECT_LE(markRight, 179);
    EXPECT_GT(markRight, 170) << "right-aligned against the clock";
    for (int y = 26; y < 320; ++y)
        for (int x = 0; x < 240; ++x) ASSERT_EQ(shown.at(x, y), before.at(x, y)) << x << "," << y;

    WindowSystem::get().setStatusMark({});
    backend.runUntilIdle();
    EXPECT_EQ(backend.framebuffer().pixels, before.pixels);
}

TEST_F(FrameTest, MissingToolbarBitmapFailsTheLoad) {
    CCeCommandBar bar;
    ASSERT_TRUE(bar.Create(frame));
    EXPECT_FALSE(bar.LoadToolBar(999999, kCommands, 7));
    bar.DestroyWindow();
}

TEST_F(FrameTest, PenReachesTheActiveViewAtClientCoordinates) {
    backend.tap(20, 26 + 25);
    backend.runUntilIdle();
    auto* view = static_cast<FirstView*>(frame->GetActiveView());
    ASSERT_EQ(view->downs.size(), 1u);
    EXPECT_EQ(view->downs[0], CPoint(20, 25));
}

TEST_F(FrameTest, SwitchingKeepsViewObjectsAndOneVisiblePane) {
    CView* first = frame->GetActiveView();
    frame->switchTo(RUNTIME_CLASS(SecondView));
    CView* second = frame->GetActiveView();
    frame->switchTo(RUNTIME_CLASS(FirstView));
    frame->switchTo(RUNTIME_CLASS(SecondView));
    EXPECT_EQ(frame->GetActiveView(), second);
    EXPECT_EQ(static_cast<SecondView*>(second)->initialUpdates, 1);
    EXPECT_EQ(first->GetDocument()->viewCount(), 2u);
    EXPECT_EQ(second->GetDlgCtrlID(), static_cast<int>(AFX_IDW_PANE_FIRST));
    EXPECT_EQ(first->GetDlgCtrlID(), 2);
    EXPECT_TRUE(second->IsWindowVisible());
    EXPECT_FALSE(first->IsWindowVisible());
    backend.runUntilIdle();
    EXPECT_EQ(pixelToRgb(backend.framebuffer().at(100, 100)), RGB(0, 0, 0));
}

TEST_F(FrameTest, CommandRunsOnReleaseInsideTheButtonItWentDownOn) {
    struct Case {
        int downX, upX;
        bool runs;
        UINT command;
    };
    const Case cases[] = {
        {2, 2, true, 32771},       // left edge of button 0
        {23, 23, true, 32771},     // last pixel of button 0
        {24, 24, false, 0},        // the gap
        {2 + 24 * 6, 2 + 24 * 6 + 21, true, 32777},
        {10, 30, false, 0},        // slid onto the next button
        {30, 10, false, 0},
    };
    for (const auto& c : cases) {
        frame->commands.clear();
        backend.penDown(c.downX, 300);
        backend.penUp(c.upX, 300);
        backend.runUntilIdle();
        if (c.runs) {
            ASSERT_EQ(frame->commands.size(), 1u) << c.downX;
            EXPECT_EQ(frame->commands[0], c.command);
        } else {
            EXPECT_TRUE(frame->commands.empty()) << c.downX << "->" << c.upX;
        }
    }
    // Rows outside 296..317 belong to no button.
    frame->commands.clear();
    backend.tap(10, 295);
    backend.tap(10, 318);
    backend.runUntilIdle();
    EXPECT_TRUE(frame->commands.empty());
}

TEST_F(FrameTest, TooltipTextsAreKept) {
    ASSERT_EQ(frame->bar.tooltipTexts().size(), 2u);
    EXPECT_EQ(frame->bar.tooltipTexts()[1], "Help");
}

// The pointer rests on the bar with the pen up; the tooltip follows the
// command's string after 500 ms and goes as soon as the pointer moves on.
TEST_F(FrameTest, TooltipShowsTheCommandsStringWhileThePointerRests) {
    struct Step {
        const char* what;
        int x, y;
        bool penDown;
        uint64_t restMs;
        const char* shown;  // "" for no tooltip
    };
    const Step steps[] = {
        {"resting too briefly", 10, 300, false, 499, ""},
        {"rest completes", 10, 300, false, 1, "New channel table"},
        {"moving within the button keeps it", 12, 305, false, 0, "New channel table"},
        {"the gap hides it", 24, 300, false, 1000, ""},
        {"the next button", 30, 300, false, 500, "Help"},
        {"pen down hides it", 30, 300, true, 1000, ""},
        {"a command without a string", 2 + 24 * 2, 300, false, 1000, ""},
        {"back on a button", 2 + 24, 300, false, 500, "Help"},
        {"leaving the bar", 100, 100, false, 1000, ""},
    };
    for (const auto& s : steps) {
        if (s.penDown) {
            backend.penDown(s.x, s.y);
        } else {
            backend.penMove(s.x, s.y);
        }
        backend.runUntilIdle();
        backend.runFor(s.restMs);
        EXPECT_EQ(frame->bar.tooltipText(), s.shown) << s.what;
        EXPECT_EQ(frame->bar.tooltipShown(), *s.shown != 0) << s.what;
        if (s.penDown) {
            backend.penUp(s.x, s.y);
            backend.runUntilIdle();
        }
    }
}

TEST_F(FrameTest, TooltipIsDrawnAboveTheBar) {
    backend.penMove(30, 300);
    backend.runUntilIdle();
    backend.runFor(500);
    ASSERT_TRUE(frame->bar.tooltipShown());
    // Pale yellow just inside its frame, over what the view drew there.
    EXPECT_EQ(pixelToRgb(backend.framebuffer().at(27, 290)), RGB(255, 255, 225));
    backend.penMove(100, 100);
    backend.runUntilIdle();
    EXPECT_EQ(pixelToRgb(backend.framebuffer().at(27, 290)), RGB(255, 192, 0));
}

TEST_F(FrameTest, MinimisingEndsTheProgram) {
    backend.minimiseWindow();
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

TEST_F(FrameTest, SocketInitCanBeMadeToFail) {
    EXPECT_TRUE(AfxSocketInit());
    setSocketInitFailsForTest(true);
    EXPECT_FALSE(AfxSocketInit());
    setSocketInitFailsForTest(false);
}

}  // namespace
}  // namespace zarn
