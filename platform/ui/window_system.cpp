#include "platform/ui/window_system.h"

#include <algorithm>
#include <cstring>

#include "platform/ui/app.h"
#include "platform/ui/cwnd.h"
#include "platform/ui/present_stats.h"
#include "platform/ui/title_bar.h"

namespace zarn {

namespace {

bool intersects(const CRect& a, const CRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// What shows where no window is: the bars' colours and a white client area.
uint32_t desktopPixel(int y) {
    if (y < WindowSystem::kClientTop) return rgbToPixel(RGB(0, 0, 128));
    if (y >= WindowSystem::kBarTop) return rgbToPixel(RGB(192, 192, 192));
    return rgbToPixel(RGB(255, 255, 255));
}

// Where now differs from before, as a few rectangles: runs of changed rows
// (short unchanged gaps bridged), each as wide as its changes. All of now
// when before is not of its size.
void findChanges(const Surface& before, const Surface& now, std::vector<CRect>& areas) {
    constexpr int kBridgedRows = 4;
    constexpr size_t kMostAreas = 8;
    areas.clear();
    if (before.width != now.width || before.height != now.height) {
        areas.emplace_back(0, 0, now.width, now.height);
        return;
    }
    const size_t rowBytes = static_cast<size_t>(now.width) * sizeof(uint32_t);
    for (int y = 0; y < now.height; ++y) {
        const uint32_t* a = &before.pixels[static_cast<size_t>(y) * now.width];
        const uint32_t* b = &now.pixels[static_cast<size_t>(y) * now.width];
        if (std::memcmp(a, b, rowBytes) == 0) continue;
        int left = 0, right = now.width;
        while (a[left] == b[left]) ++left;
        while (a[right - 1] == b[right - 1]) --right;
        if (!areas.empty() && y - areas.back().bottom <= kBridgedRows) {
            CRect& run = areas.back();
            run = CRect(std::min(run.left, left), run.top, std::max(run.right, right), y + 1);
        } else {
            areas.emplace_back(left, y, right, y + 1);
        }
    }
    while (areas.size() > kMostAreas) {  // fold the two closest together
        size_t closest = 0;
        for (size_t i = 1; i + 1 < areas.size(); ++i)
            if (areas[i + 1].top - areas[i].bottom < areas[closest + 1].top - areas[closest].bottom) closest = i;
        CRect& a = areas[closest];
        const CRect& b = areas[closest + 1];
        a = CRect(std::min(a.left, b.left), a.top, std::max(a.right, b.right), b.bottom);
        areas.erase(areas.begin() + static_cast<ptrdiff_t>(closest) + 1);
    }
}

void copyArea(const Surface& from, const CRect& area, Surface& to) {
    if (to.width != from.width || to.height != from.height) {
        to = from;
        return;
    }
    for (int y = area.top; y < area.bottom; ++y) {
        const size_t row = static_cast<size_t>(y) * from.width;
        std::copy(from.pixels.begin() + static_cast<ptrdiff_t>(row + area.left),
                  from.pixels.begin() + static_cast<ptrdiff_t>(row + area.right), to.pixels.begin() + static_cast<ptrdiff_t>(row + area.left));
    }
}

}  // namespace

WindowSystem& WindowSystem::get() {
    static WindowSystem* system = new WindowSystem;  // outlives every window, also static ones
    return *system;
}

void WindowSystem::reset(UiBackend* backend) {
    installWindowMessageBoxes();
    if (titleBar_) {
        TitleBar* bar = titleBar_;
        titleBar_ = nullptr;
        delete bar;
    }
    backend_ = backend;
    uiThread_ = std::this_thread::get_id();
    MSG dropped;
    while (queue_.take(dropped))
        if (dropped.reply) dropped.reply->complete(0);
    timers_ = TimerTable();
    modals_.clear();
    modalObserver_ = nullptr;
    capture_ = nullptr;
    hover_ = nullptr;
    quit_ = false;
    exitCode_ = 0;
    waitCursor_ = 0;
    mapped_ = false;
    paintsPending_ = false;
    nextPaintAt_ = 0;
    lastUpdateAt_ = 0;
    plannedWake_ = 0;
    shown_ = Surface();
    statusMark_ = {};
    for (int y = 0; y < kScreenHeight; ++y)
        for (int x = 0; x < kScreenWidth; ++x) screen_.at(x, y) = desktopPixel(y);
    if (backend_) ensureTitleBar();
}

void WindowSystem::ensureTitleBar() {
    titleBar_ = new TitleBar;
    titleBar_->Create(nullptr, "", WS_VISIBLE, CRect(0, 0, kScreenWidth, kTitleHeight), nullptr, 0);
}

uint64_t WindowSystem::now() const { return backend_ ? backend_->nowMs() : 0; }

void WindowSystem::insert(CWnd* wnd, CWnd* parent) {
    {
        std::lock_guard lock(aliveMutex_);
        alive_.insert(wnd);
    }
    wnd->parent_ = parent;
    if (parent) {
        parent->children_.push_back(wnd);
    } else if (titleBar_) {
        topLevels_.insert(std::find(topLevels_.begin(), topLevels_.end(), titleBar_), wnd);
    } else {
        topLevels_.push_back(wnd);
    }
}

void WindowSystem::remove(CWnd* wnd) {
    {
        std::lock_guard lock(aliveMutex_);
        alive_.erase(wnd);
    }
    bool wasVisible = wnd->IsWindowVisible();
    CRect area = wnd->screenRect();
    if (wnd->parent_) {
        std::erase(wnd->parent_->children_, wnd);
    } else {
        std::erase(topLevels_, wnd);
    }
    wnd->parent_ = nullptr;
    queue_.purge(wnd);
    timers_.killAll(wnd);
    if (capture_ == wnd) capture_ = nullptr;
    if (hover_ == wnd) hover_ = nullptr;
    for (auto& m : modals_) {
        if (m.wnd == wnd && !m.done) {
            m.done = true;
            m.result = IDCANCEL;
        }
    }
    if (wasVisible) uncover(area, wnd);
}

bool WindowSystem::alive(const CWnd* wnd) const {
    std::lock_guard lock(aliveMutex_);
    return alive_.count(wnd) != 0;
}

void WindowSystem::raise(CWnd* wnd) {
    if (wnd->parent_) return;
    std::erase(topLevels_, wnd);
    auto at = titleBar_ ? std::find(topLevels_.begin(), topLevels_.end(), titleBar_) : topLevels_.end();
    topLevels_.insert(at, wnd);
    wnd->Invalidate(FALSE);
}

void WindowSystem::uncover(const CRect& area, const CWnd* except) {
    for (int y = std::max(area.top, 0); y < std::min(area.bottom, kScreenHeight); ++y)
        for (int x = std::max(area.left, 0); x < std::min(area.right, kScreenWidth); ++x) screen_.at(x, y) = desktopPixel(y);
    std::vector<CWnd*> order;
    for (CWnd* top : topLevels_) collectPaintOrder(top, order);
    for (CWnd* w : order)
        if (w != except && intersects(w->screenRect(), area)) w->Invalidate(FALSE);
    paintsPending_ = true;
}

void WindowSystem::windowShown(CWnd* wnd, bool shown) {
    if (!shown) {
        uncover(wnd->screenRect(), wnd);
        return;
    }
    if (!mapped_ && backend_ && (wnd == mainWindow() || (!wnd->parent_ && !modals_.empty()))) {
        mapped_ = true;
        mainTitleChanged();
        backend_->showMainWindow();
    }
}

CWnd* WindowSystem::mainWindow() const {
    CWinApp* app = AfxGetApp();
    return app ? app->m_pMainWnd : nullptr;
}

void WindowSystem::setStatusMark(const StatusMark& mark) {
    if (mark == statusMark_) return;
    statusMark_ = mark;
    if (titleBar_) titleBar_->Invalidate(FALSE);
}

void WindowSystem::setProgramIcon(const BitmapResource* icon) {
    if (icon && backend_) backend_->setIcon(*icon);
}

void WindowSystem::mainTitleChanged() {
    CWnd* main = mainWindow();
    if (backend_ && main) backend_->setTitle(main->GetWindowText());
    if (titleBar_) titleBar_->Invalidate(FALSE);
}

bool WindowSystem::post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd && !alive(hwnd)) return false;
    const uint64_t stamp = !onUiThread() && present_stats::enabled() ? present_stats::nowUs() : 0;
    queue_.post({hwnd, message, wParam, lParam, nullptr, stamp});
    if (backend_) backend_->wake();
    return true;
}

// No wake when the loop is due to look within a frame anyway: during a stream
// of updates it wakes once per frame, not once per update.
bool WindowSystem::postCoalesced(HWND hwnd, UINT message) {
    if (hwnd && !alive(hwnd)) return false;
    const uint64_t stamp = !onUiThread() && present_stats::enabled() ? present_stats::nowUs() : 0;
    if (!queue_.postUnlessWaiting({hwnd, message, 0, 0, nullptr, stamp, true}) || !backend_) return true;
    const uint32_t interval = backend_->frameIntervalMs();
    if (interval == 0 || plannedWake_.load() > backend_->nowMs() + interval) backend_->wake();
    return true;
}

LRESULT WindowSystem::send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!hwnd || !alive(hwnd)) return 0;
    if (onUiThread()) return hwnd->WindowProc(message, wParam, lParam);
    Reply reply;
    queue_.post({hwnd, message, wParam, lParam, &reply});
    if (backend_) backend_->wake();
    return reply.wait();
}

void WindowSystem::postQuit(int exitCode) {
    exitCode_ = exitCode;
    quit_ = true;
    if (backend_) backend_->wake();
}

void WindowSystem::setTimer(HWND hwnd, UINT_PTR id, uint32_t periodMs) { timers_.set(hwnd, id, periodMs, now()); }

bool WindowSystem::killTimer(HWND hwnd, UINT_PTR id) { return timers_.kill(hwnd, id); }

void WindowSystem::timerUnheeded(HWND hwnd, UINT_PTR id) { timers_.park(hwnd, id); }

void WindowSystem::invalidated() { paintsPending_ = true; }

void WindowSystem::collectPaintOrder(CWnd* wnd, std::vector<CWnd*>& out) const {
    if (!wnd->visible_) return;
    out.push_back(wnd);
    for (CWnd* child : wnd->children_) collectPaintOrder(child, out);
}

void WindowSystem::paintNow(CWnd* wnd) {
    if (!wnd->IsWindowVisible()) return;
    wnd->invalid_ = false;
    wnd->SendMessage(WM_PAINT);
    present_stats::painted();
    // Whatever lies above it is drawn again, so it stays on top.
    paintsPending_ = true;
    std::vector<CWnd*> order;
    for (CWnd* top : topLevels_) collectPaintOrder(top, order);
    auto self = std::find(order.begin(), order.end(), wnd);
    CRect area = wnd->screenRect();
    if (self != order.end())
        for (auto it = self + 1; it != order.end(); ++it)
            if (intersects((*it)->screenRect(), area)) (*it)->invalid_ = true;
    paintPending();
}

void WindowSystem::paintPending() {
    paintsPending_ = false;
    std::vector<CWnd*> order;
    for (CWnd* top : topLevels_) collectPaintOrder(top, order);
    std::vector<CRect> painted;
    for (CWnd* w : order) {
        if (!alive(w)) continue;
        CRect area = w->screenRect();
        bool covered = std::any_of(painted.begin(), painted.end(), [&](const CRect& r) { return intersects(r, area); });
        if (!w->invalid_ && !covered) continue;
        w->invalid_ = false;
        w->SendMessage(WM_PAINT);
        present_stats::painted();
        painted.push_back(area);
    }
    if (painted.empty() || !backend_) return;
    nextPaintAt_ = now() + backend_->frameIntervalMs();
    present();
}

void WindowSystem::present() {
    findChanges(shown_, screen_, changed_);
    if (changed_.empty()) {
        present_stats::nothingToShow();
        return;
    }
    for (const CRect& area : changed_) copyArea(screen_, area, shown_);
    backend_->present(screen_, changed_);
    present_stats::presented();
}

bool WindowSystem::paintDue() const { return now() >= nextPaintAt_; }

uint64_t WindowSystem::nextDeadline() const {
    const uint64_t timer = timers_.nextDeadline();
    return paintsPending_ ? std::min(timer, nextPaintAt_) : timer;
}

void WindowSystem::dispatch(const MSG& msg) {
    if (msg.message == WM_QUIT) {
        postQuit(static_cast<int>(msg.wParam));
        if (msg.reply) msg.reply->complete(0);
        return;
    }
    LRESULT result = 0;
    if (msg.hwnd && alive(msg.hwnd)) result = msg.hwnd->WindowProc(msg.message, msg.wParam, msg.lParam);
    if (msg.reply) msg.reply->complete(result);
}

bool WindowSystem::dispatchOne() {
    MSG msg;
    if (queue_.take(msg)) {
        dispatch(msg);
        if (msg.coalesced) lastUpdateAt_ = now();
        if (msg.postedUs) {
            present_stats::updateHandled(msg.postedUs);
            if (!paintsPending_) present_stats::nothingToShow();
        }
        return true;
    }
    InputEvent event;
    if (backend_ && backend_->pollInput(event)) {
        deliver(event);
        return true;
    }
    if (paintsPending_ && paintDue()) {
        paintPending();
        return true;
    }
    TimerTable::Due due;
    if (timers_.takeDue(now(), due)) {
        if (alive(due.hwnd)) due.hwnd->WindowProc(WM_TIMER, due.id, 0);
        return true;
    }
    return false;
}

bool WindowSystem::updatesStreaming() const {
    const uint32_t interval = backend_->frameIntervalMs();
    return interval > 0 && now() <= lastUpdateAt_ + 2 * interval;
}

// The planned wake is published before the queue's last look, so a poster
// that sees it also has its message seen.
bool WindowSystem::waitForWork() {
    if (!backend_) return false;
    uint64_t deadline = nextDeadline();
    if (updatesStreaming()) deadline = std::min(deadline, std::max(nextPaintAt_, now() + backend_->frameIntervalMs()));
    plannedWake_.store(deadline);
    if (!queue_.empty()) return true;
    return backend_->waitInput(deadline);
}

int WindowSystem::run() {
    while (!quit_) {
        if (dispatchOne()) continue;
        if (!waitForWork()) break;
    }
    return exitCode_;
}

int WindowSystem::runModal(CWnd* wnd, ModalWindow* info) {
    size_t index = modals_.size();
    modals_.push_back({wnd, info, false, IDCANCEL});
    raise(wnd);
    if (titleBar_) titleBar_->Invalidate(FALSE);
    if (!mapped_) windowShown(wnd, true);
    CWnd* outerCapture = capture_;
    capture_ = nullptr;
    while (!modals_[index].done && !quit_) {
        if (dispatchOne()) continue;
        if (!waitForWork()) {
            // Nobody is left to answer (a test script ran out): cancel.
            modals_[index].done = true;
            modals_[index].result = IDCANCEL;
        }
    }
    int result = quit_ ? IDCANCEL : modals_[index].result;
    modals_.erase(modals_.begin() + static_cast<long>(index), modals_.end());
    capture_ = alive(outerCapture) ? outerCapture : nullptr;
    if (titleBar_) titleBar_->Invalidate(FALSE);
    return result;
}

void WindowSystem::endModal(CWnd* wnd, int result) {
    for (auto& m : modals_) {
        if (m.wnd == wnd && !m.done) {
            m.done = true;
            m.result = result;
        }
    }
}

CWnd* WindowSystem::hitTest(CWnd* wnd, int x, int y) const {
    if (!wnd->visible_ || !wnd->screenRect().PtInRect(CPoint(x, y))) return nullptr;
    for (auto it = wnd->children_.rbegin(); it != wnd->children_.rend(); ++it)
        if (CWnd* hit = hitTest(*it, x, y)) return hit;
    if (wnd->style_ & WS_DISABLED) return nullptr;
    return wnd;
}

CWnd* WindowSystem::windowAt(int x, int y) const {
    if (titleBar_)
        if (CWnd* hit = hitTest(titleBar_, x, y)) return hit;
    if (CWnd* modal = activeModal()) return hitTest(modal, x, y);
    for (auto it = topLevels_.rbegin(); it != topLevels_.rend(); ++it)
        if (CWnd* hit = hitTest(*it, x, y)) return hit;
    return nullptr;
}

void WindowSystem::releaseCapture(CWnd* wnd) {
    if (capture_ == wnd) capture_ = nullptr;
}

void WindowSystem::deliver(const InputEvent& event) {
    switch (event.kind) {
    case InputEvent::Kind::PenDown:
    case InputEvent::Kind::PenUp:
    case InputEvent::Kind::PenMove:
        deliverPen(event);
        break;
    case InputEvent::Kind::Key:
    case InputEvent::Kind::Char:
        deliverKey(event);
        break;
    case InputEvent::Kind::Close:
        postQuit(0);
        break;
    case InputEvent::Kind::Minimise:
        if (CWnd* main = mainWindow()) main->SendMessage(WM_SIZE, SIZE_MINIMIZED, 0);
        break;
    }
}

void WindowSystem::deliverPen(const InputEvent& event) {
    CWnd* target = nullptr;
    UINT message = WM_MOUSEMOVE;
    UINT flags = 0;
    if (event.kind == InputEvent::Kind::PenDown) {
        target = windowAt(event.x, event.y);
        capture_ = target;
        message = WM_LBUTTONDOWN;
        flags = MK_LBUTTON;
    } else if (event.kind == InputEvent::Kind::PenUp) {
        target = capture_ ? capture_ : windowAt(event.x, event.y);
        capture_ = nullptr;
        message = WM_LBUTTONUP;
    } else {
        target = capture_ ? capture_ : windowAt(event.x, event.y);
        flags = capture_ ? MK_LBUTTON : 0;
        if (!capture_ && target != hover_) {
            if (hover_ && alive(hover_)) hover_->SendMessage(WM_MOUSELEAVE);
            hover_ = target;
        }
    }
    if (!target || !alive(target)) return;
    CPoint p(event.x, event.y);
    target->ScreenToClient(&p);
    target->SendMessage(message, flags, MAKELPARAM(p.x, p.y));
}

void WindowSystem::deliverKey(const InputEvent& event) {
    CWnd* target = activeModal();
    if (!target) target = mainWindow();
    if (!target) return;
    UINT message = event.kind == InputEvent::Kind::Key ? WM_KEYDOWN : WM_CHAR;
    target->SendMessage(message, event.key, event.shift ? KF_SHIFTHELD : 0);
}

void WindowSystem::waitCursor(int delta) {
    waitCursor_ = std::max(0, waitCursor_ + delta);
    if (backend_) backend_->setWaitCursor(waitCursor_ > 0);
}

}  // namespace zarn
