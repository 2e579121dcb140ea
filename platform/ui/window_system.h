#pragma once
// WindowSystem: the one user-interface thread's windows, queue, timers,
// painting and pen/key routing, over a UiBackend.
//
//  - Work comes out in this order: posted and sent messages, then input,
//    then paints (every marked window once, bottom to top; a window above a
//    repainted one repaints too, so overlapping windows stay whole), then one
//    due timer. The screen is presented once after a round of paints, with
//    the rectangles that changed since the last present; a round that
//    changed no pixel presents nothing.
//  - Paint rounds are at least the backend's frame interval apart (one
//    display refresh): what is marked meanwhile waits for the next round, so
//    a stream of updates is shown at the display's pace, the latest state
//    each time. postCoalesced() keeps at most one copy of a message waiting;
//    while such messages stream in, the loop looks for them once a frame.
//  - run() loops until WM_QUIT (PostQuitMessage) or the backend has nothing
//    more to give, and returns the exit code.
//  - runModal(w) keeps every posted message, paint and timer flowing while
//    pen and keys go to w alone, until endModal(w) (or a quit, which ends
//    every modal loop and is passed on to the outer loop).
//  - While a modal window is up the title bar shows its caption with the
//    "ok" box (IDOK) and, unless the window is a message box, the "x" box
//    (IDCANCEL); otherwise the main window's title.
//  - reset() gives tests a fresh system over a new backend.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <unordered_set>
#include <string>
#include <thread>
#include <vector>

#include "platform/gdi/surface.h"
#include "platform/ui/backend.h"
#include "platform/gdi/geometry.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/timer_table.h"
#include "platform/ui/wintypes.h"

namespace zarn {

class CWnd;
class TitleBar;

// What a modal window offers the title bar.
class ModalWindow {
public:
    virtual ~ModalWindow() = default;
    virtual std::string modalCaption() const = 0;
    virtual bool modalHasCancelBox() const = 0;
    virtual void modalCaptionButton(int command) = 0;  // IDOK or IDCANCEL
};

// Makes AfxMessageBox show the window system's own boxes.
void installWindowMessageBoxes();

class WindowSystem {
public:
    static constexpr int kScreenWidth = 240;
    static constexpr int kScreenHeight = 320;
    static constexpr int kTitleHeight = 26;
    static constexpr int kClientTop = 26;
    static constexpr int kClientBottom = 294;
    static constexpr int kBarTop = 294;

    static WindowSystem& get();
    void reset(UiBackend* backend);
    UiBackend* backend() const { return backend_; }
    bool onUiThread() const { return std::this_thread::get_id() == uiThread_; }

    Surface& screen() { return screen_; }
    uint64_t now() const;

    // Windows.
    void insert(CWnd* wnd, CWnd* parent);
    void remove(CWnd* wnd);
    bool alive(const CWnd* wnd) const;
    void raise(CWnd* wnd);  // top of the top-level z-order (below the title bar)
    void windowShown(CWnd* wnd, bool shown);
    const std::vector<CWnd*>& topLevels() const { return topLevels_; }
    CWnd* mainWindow() const;
    void mainTitleChanged();
    // The icon the host window shows (the main frame's, or a dialog's that is the main window).
    void setProgramIcon(const BitmapResource* icon);

    // The main window's status mark in the title bar ("GPS", "NO BOARD"), drawn
    // in its colour between x 120 and 179; empty text shows none. UI thread only.
    struct StatusMark {
        std::string text;
        COLORREF colour = 0;
        bool operator==(const StatusMark&) const = default;
    };
    void setStatusMark(const StatusMark& mark);
    const StatusMark& statusMark() const { return statusMark_; }

    // Messages.
    bool post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void postQuit(int exitCode);
    bool quitting() const { return quit_; }

    // Safe from any thread: posts unless the same message for hwnd is still waiting.
    bool postCoalesced(HWND hwnd, UINT message);

    // Timers.
    void setTimer(HWND hwnd, UINT_PTR id, uint32_t periodMs);
    bool killTimer(HWND hwnd, UINT_PTR id);
    // The window did nothing with the timer's message: it does not fire again until set again.
    void timerUnheeded(HWND hwnd, UINT_PTR id);
    // When the loop next has work without input: a timer, or the next paint round.
    uint64_t nextDeadline() const;

    // Painting.
    void invalidated();  // a window was marked
    void paintNow(CWnd* wnd);
    void paintPending();

    // The loop.
    bool dispatchOne();  // one piece of work; false when none was waiting
    int run();
    int runModal(CWnd* wnd, ModalWindow* modal);
    void endModal(CWnd* wnd, int result);
    // Told when a message box, dialog or file dialog opens (kind "messagebox",
    // "dialog" or "filedialog"), for a test's record; reset() drops the observer.
    struct ModalOpened {
        std::string kind;
        std::string caption;
        std::string text;
    };
    void observeModals(std::function<void(const ModalOpened&)> observer) { modalObserver_ = std::move(observer); }
    void modalOpened(const ModalOpened& modal) {
        if (modalObserver_) modalObserver_(modal);
    }
    CWnd* activeModal() const { return modals_.empty() ? nullptr : modals_.back().wnd; }
    ModalWindow* activeModalInfo() const { return modals_.empty() ? nullptr : modals_.back().info; }
    size_t modalDepth() const { return modals_.size(); }

    // Input.
    void deliver(const InputEvent& event);
    CWnd* windowAt(int x, int y) const;
    void releaseCapture(CWnd* wnd);

    // The wait cursor: a count, shown while above zero.
    void waitCursor(int delta);
    int waitCursorCount() const { return waitCursor_; }

private:
    struct Modal {
        CWnd* wnd;
        ModalWindow* info;
        bool done;
        int result;
    };

    WindowSystem() = default;
    void collectPaintOrder(CWnd* wnd, std::vector<CWnd*>& out) const;
    CWnd* hitTest(CWnd* wnd, int x, int y) const;
    void dispatch(const MSG& msg);
    void deliverPen(const InputEvent& event);
    void deliverKey(const InputEvent& event);
    bool waitForWork();
    void ensureTitleBar();
    void uncover(const CRect& area, const CWnd* except);
    bool paintDue() const;
    bool updatesStreaming() const;
    void present();

    UiBackend* backend_ = nullptr;
    std::thread::id uiThread_;
    Surface screen_{kScreenWidth, kScreenHeight};
    std::vector<CWnd*> topLevels_;
    MessageQueue queue_;
    TimerTable timers_;
    std::vector<Modal> modals_;
    std::function<void(const ModalOpened&)> modalObserver_;
    TitleBar* titleBar_ = nullptr;
    StatusMark statusMark_;
    CWnd* capture_ = nullptr;
    CWnd* hover_ = nullptr;  // told WM_MOUSELEAVE when the pointer moves elsewhere
    bool paintsPending_ = false;
    uint64_t nextPaintAt_ = 0;
    uint64_t lastUpdateAt_ = 0;              // a coalesced message was last handled
    std::atomic<uint64_t> plannedWake_{0};   // when the loop next looks by itself
    Surface shown_;  // what the backend was last given
    std::vector<CRect> changed_;
    std::atomic<bool> quit_{false};
    int exitCode_ = 0;
    int waitCursor_ = 0;
    bool mapped_ = false;
    mutable std::mutex aliveMutex_;  // PostMessage asks from other threads
    std::unordered_set<const CWnd*> alive_;
};

}  // namespace zarn
