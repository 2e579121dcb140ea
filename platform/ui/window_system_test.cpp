#include "platform/ui/window_system.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/headless/headless_backend.h"
#include "platform/ui/cwnd.h"

namespace zarn {
namespace {

constexpr UINT WM_BOARD_UPDATE = WM_APP + 100;

// Records what reaches it.
class Probe : public CWnd {
public:
    std::vector<UINT> messages;
    std::vector<CPoint> downs, ups;
    int paints = 0;
    std::vector<UINT_PTR> timers;
    LRESULT WindowProc(UINT message, WPARAM w, LPARAM l) override {
        if (message >= WM_APP) {
            messages.push_back(message);
            return 1;
        }
        return CWnd::WindowProc(message, w, l);
    }
    void OnPaint() override { ++paints; }
    void OnLButtonDown(UINT, CPoint p) override { downs.push_back(p); }
    void OnLButtonUp(UINT, CPoint p) override { ups.push_back(p); }
    void OnTimer(UINT_PTR id) override { timers.push_back(id); }
};

class WindowSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        backend.install();
        top.Create(nullptr, "top", WS_VISIBLE, CRect(0, 26, 240, 294), nullptr, 0);
        backend.runUntilIdle();
        top.paints = 0;
    }
    void TearDown() override { top.DestroyWindow(); }
    HeadlessBackend backend;
    Probe top;
};

TEST_F(WindowSystemTest, PostsFromAnotherThreadArriveInOrder) {
    std::thread link([this] {
        for (int i = 0; i < 100; ++i) PostMessage(&top, WM_APP + static_cast<UINT>(i % 2), 0, 0);
    });
    link.join();
    backend.runUntilIdle();
    ASSERT_EQ(top.messages.size(), 100u);
    for (size_t i = 0; i < 100; ++i) EXPECT_EQ(top.messages[i], WM_APP + i % 2);
}

TEST_F(WindowSystemTest, PostToDestroyedWindowFails) {
    Probe gone;
    gone.Create(nullptr, "", 0, CRect(0, 0, 1, 1), nullptr, 0);
    EXPECT_TRUE(PostMessage(&gone, WM_APP, 0, 0));
    gone.DestroyWindow();
    EXPECT_FALSE(PostMessage(&gone, WM_APP, 0, 0));
    backend.runUntilIdle();
    EXPECT_TRUE(gone.messages.empty());
}

TEST_F(WindowSystemTest, SendFromAnotherThreadWaitsForTheAnswer) {
    LRESULT answer = 0;
    std::thread other([&] { answer = SendMessage(&top, WM_APP + 5, 0, 0); });
    while (top.messages.empty()) {
        backend.runUntilIdle();
        std::this_thread::yield();
    }
    other.join();
    EXPECT_EQ(answer, 1);
}

TEST_F(WindowSystemTest, ManyInvalidationsGiveOnePaint) {
    for (int i = 0; i < 50; ++i) top.Invalidate(FALSE);
    backend.runUntilIdle();
    EXPECT_EQ(top.paints, 1);
    backend.runUntilIdle();
    EXPECT_EQ(top.paints, 1);
}

TEST_F(WindowSystemTest, PaintWaitsUntilPostedMessagesAreHandled) {
    int paintsSeenByMessage = -1;
    class Painter : public Probe {
    public:
        int* seen = nullptr;
        LRESULT WindowProc(UINT m, WPARAM w, LPARAM l) override {
            if (m == WM_BOARD_UPDATE) {
                Invalidate(FALSE);
                if (seen) *seen = paints;
            }
            return Probe::WindowProc(m, w, l);
        }
    } painter;
    painter.seen = &paintsSeenByMessage;
    painter.Create(nullptr, "", WS_VISIBLE, CRect(0, 26, 240, 294), nullptr, 0);
    backend.runUntilIdle();
    painter.paints = 0;
    for (int i = 0; i < 5; ++i) PostMessage(&painter, WM_BOARD_UPDATE, 0, 0);
    backend.runUntilIdle();
    EXPECT_EQ(paintsSeenByMessage, 0);  // the last message still saw no paint
    EXPECT_EQ(painter.paints, 1);
    painter.DestroyWindow();
}

// A window showing a number: each update it handles makes it show the next.
class Counter : public CWnd {
public:
    int shown = 0, handled = 0;
    LRESULT WindowProc(UINT m, WPARAM w, LPARAM l) override {
        if (m != WM_BOARD_UPDATE) return CWnd::WindowProc(m, w, l);
        ++handled;
        Invalidate(FALSE);
        return 1;
    }
    void OnPaint() override {
        shown = handled;
        Surface& screen = WindowSystem::get().screen();
        for (int x = 0; x < 240; ++x) screen.at(x, 100) = static_cast<uint32_t>(shown);
    }
};

// At a display's pace: updates fold while they wait, each frame shows the
// latest, and none waits more than a frame.
TEST_F(WindowSystemTest, AStreamOfUpdatesIsShownOncePerFrameTheLatestEachTime) {
    backend.setFrameInterval(17);
    auto& sys = WindowSystem::get();
    Counter counter;
    counter.Create(nullptr, "", WS_VISIBLE, CRect(0, 26, 240, 294), nullptr, 0);
    counter.Invalidate(FALSE);
    backend.runUntilIdle();  // t = 0: the first frame
    const int presents = backend.presents();

    std::thread link([&] {
        for (int i = 0; i < 200; ++i) sys.postCoalesced(&counter, WM_BOARD_UPDATE);
    });
    link.join();
    backend.runUntilIdle();
    EXPECT_EQ(counter.handled, 1);  // 200 posts, one waiting message

    backend.advance(5);
    sys.postCoalesced(&counter, WM_BOARD_UPDATE);
    backend.runUntilIdle();
    EXPECT_EQ(counter.handled, 2);
    EXPECT_EQ(backend.presents(), presents);  // the frame is not over yet
    backend.runFor(12);                       // t = 17: the next frame
    EXPECT_EQ(backend.presents(), presents + 1);
    EXPECT_EQ(backend.framebuffer().at(0, 100), 2u);

    for (int i = 0; i < 10; ++i) {
        sys.postCoalesced(&counter, WM_BOARD_UPDATE);
        backend.runFor(1);
    }
    backend.runFor(50);
    EXPECT_EQ(counter.handled, 12);
    EXPECT_EQ(backend.presents(), presents + 2);  // ten updates in one frame: one present
    EXPECT_EQ(backend.framebuffer().at(0, 100), 12u);
    counter.DestroyWindow();
}

TEST_F(WindowSystemTest, APaintThatChangesNoPixelPresentsNothing) {
    top.Invalidate(FALSE);
    backend.runUntilIdle();
    const int presents = backend.presents();
    top.Invalidate(FALSE);
    backend.runUntilIdle();
    EXPECT_EQ(top.paints, 2);
    EXPECT_EQ(backend.presents(), presents);
}

TEST_F(WindowSystemTest, HiddenWindowDoesNotPaintUntilShown) {
    top.ShowWindow(SW_HIDE);
    top.Invalidate(FALSE);
    backend.runUntilIdle();
    EXPECT_EQ(top.paints, 0);
    EXPECT_FALSE(top.ShowWindow(SW_SHOW));
    backend.runUntilIdle();
    EXPECT_EQ(top.paints, 1);
}

TEST_F(WindowSystemTest, WindowBelowRepaintingMakesTheOneAboveRepaint) {
    Probe above;
    above.Create(nullptr, "", WS_VISIBLE, CRect(40, 100, 200, 200), nullptr, 0);
    backend.runUntilIdle();
    above.paints = 0;
    top.Invalidate(FALSE);
    backend.runUntilIdle();
    EXPECT_EQ(top.paints, 1);
    EXPECT_EQ(above.paints, 1);
    above.Invalidate(FALSE);
    backend.runUntilIdle();
    EXPECT_EQ(top.paints, 1);  // nothing repaints below
    above.DestroyWindow();
    backend.runUntilIdle();
    EXPECT_EQ(top.paints, 2);  // uncovered
}

TEST_F(WindowSystemTest, TimersRepeatOnTheInjectedClock) {
    top.SetTimer(1, 1000);
    top.SetTimer(2, 300);
    backend.runFor(999);
    EXPECT_EQ(std::count(top.timers.begin(), top.timers.end(), 1u), 0);
    EXPECT_EQ(std::count(top.timers.begin(), top.timers.end(), 2u), 3);
    backend.runFor(2001);  // to 3000
    EXPECT_EQ(std::count(top.timers.begin(), top.timers.end(), 1u), 3);
    EXPECT_EQ(std::count(top.timers.begin(), top.timers.end(), 2u), 10);
    EXPECT_TRUE(top.KillTimer(1));
    top.timers.clear();
    backend.runFor(5000);
    EXPECT_EQ(std::count(top.timers.begin(), top.timers.end(), 1u), 0);
    EXPECT_EQ(backend.nowMs(), 8000u);
}

// Nothing to do, nothing woken: a timer that no handler takes stops at its first expiry
// (until it is set again), and the title bar's clock looks when the minute turns.
TEST_F(WindowSystemTest, AnIdleProgramSleepsUntilTheClocksMinuteTurns) {
    CWnd plain;
    plain.Create(nullptr, "plain", WS_VISIBLE, CRect(0, 26, 240, 294), nullptr, 0);
    plain.SetTimer(1, 1000);
    backend.runFor(1500);
    EXPECT_EQ(WindowSystem::get().nextDeadline(), 60020u) << "the minute turns at 60000";
    backend.runFor(60000);
    EXPECT_EQ(WindowSystem::get().nextDeadline(), 120020u);
    EXPECT_TRUE(plain.KillTimer(1));
    plain.SetTimer(1, 1000);
    EXPECT_EQ(WindowSystem::get().nextDeadline(), 62500u) << "set again, it runs again";
    plain.DestroyWindow();
}

TEST_F(WindowSystemTest, TimersDoNotFireWithoutTimeMoving) {
    top.SetTimer(1, 10);
    backend.runUntilIdle();
    EXPECT_TRUE(top.timers.empty());
}

TEST_F(WindowSystemTest, PenGoesToTheWindowUnderItInClientCoordinatesAndReleaseToTheSame) {
    Probe child;
    child.Create(nullptr, "", WS_CHILD | WS_VISIBLE, CRect(10, 20, 110, 120), &top, 5);
    backend.penDown(15, 26 + 25);
    backend.penUp(200, 280);  // released elsewhere: still the window that took the pen
    backend.runUntilIdle();
    ASSERT_EQ(child.downs.size(), 1u);
    EXPECT_EQ(child.downs[0], CPoint(5, 5));
    ASSERT_EQ(child.ups.size(), 1u);
    EXPECT_EQ(child.ups[0], CPoint(190, 234));
    EXPECT_TRUE(top.downs.empty());
    backend.tap(5, 26);
    backend.runUntilIdle();
    ASSERT_EQ(top.downs.size(), 1u);
    EXPECT_EQ(top.downs[0], CPoint(5, 0));
    child.DestroyWindow();
}

TEST_F(WindowSystemTest, ModalLoopKeepsPostedMessagesFlowingAndTakesThePen) {
    Probe dialog;
    dialog.Create(nullptr, "", WS_VISIBLE, CRect(0, 26, 240, 294), nullptr, 0);
    struct Info : ModalWindow {
        std::string modalCaption() const override { return "Modal"; }
        bool modalHasCancelBox() const override { return true; }
        void modalCaptionButton(int) override {}
    } info;
    size_t seenDuringModal = 0;
    backend.whenIdle([&] {
        std::thread link([&] { PostMessage(&top, WM_BOARD_UPDATE, 0, 0); });
        link.join();
    });
    backend.whenIdle([&] {
        seenDuringModal = top.messages.size();
        backend.tap(100, 100);
    });
    backend.whenIdle([&] { WindowSystem::get().endModal(&dialog, IDOK); });
    EXPECT_EQ(WindowSystem::get().runModal(&dialog, &info), IDOK);
    EXPECT_EQ(seenDuringModal, 1u);
    EXPECT_EQ(dialog.downs.size(), 1u);
    EXPECT_TRUE(top.downs.empty());
    EXPECT_EQ(backend.unansweredModals(), 0);
    dialog.DestroyWindow();
}

TEST_F(WindowSystemTest, UnansweredModalIsCancelledNotHung) {
    Probe dialog;
    dialog.Create(nullptr, "", WS_VISIBLE, CRect(0, 26, 240, 294), nullptr, 0);
    struct Info : ModalWindow {
        std::string modalCaption() const override { return "Modal"; }
        bool modalHasCancelBox() const override { return true; }
        void modalCaptionButton(int) override {}
    } info;
    EXPECT_EQ(WindowSystem::get().runModal(&dialog, &info), IDCANCEL);
    EXPECT_EQ(backend.unansweredModals(), 1);
    dialog.DestroyWindow();
}

TEST_F(WindowSystemTest, QuitEndsModalLoopsAndTheMainLoop) {
    Probe dialog;
    dialog.Create(nullptr, "", WS_VISIBLE, CRect(0, 26, 240, 294), nullptr, 0);
    struct Info : ModalWindow {
        std::string modalCaption() const override { return "Modal"; }
        bool modalHasCancelBox() const override { return false; }
        void modalCaptionButton(int) override {}
    } info;
    backend.whenIdle([] { PostQuitMessage(3); });
    EXPECT_EQ(WindowSystem::get().runModal(&dialog, &info), IDCANCEL);
    EXPECT_EQ(WindowSystem::get().run(), 3);
    dialog.DestroyWindow();
}

TEST_F(WindowSystemTest, ClosingTheHostWindowQuitsWithZero) {
    backend.closeWindow();
    EXPECT_EQ(WindowSystem::get().run(), 0);
}

TEST_F(WindowSystemTest, WaitCursorNests) {
    auto& sys = WindowSystem::get();
    sys.waitCursor(1);
    sys.waitCursor(1);
    sys.waitCursor(-1);
    EXPECT_TRUE(backend.waitCursorShown());
    sys.waitCursor(-1);
    EXPECT_FALSE(backend.waitCursorShown());
    sys.waitCursor(-1);
    EXPECT_EQ(sys.waitCursorCount(), 0);
}

}  // namespace
}  // namespace zarn
