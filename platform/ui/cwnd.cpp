#include "platform/ui/cwnd.h"

#include <algorithm>

#include "platform/ui/window_system.h"

namespace zarn {

IMPLEMENT_DYNAMIC(CWnd, CObject)

CWnd::~CWnd() {
    if (created_) {
        // The object goes without DestroyWindow: take it out quietly, without
        // calling back into a half-destroyed derived class.
        for (CWnd* child : children_) child->parent_ = nullptr;
        children_.clear();
        WindowSystem::get().remove(this);
        created_ = false;
    }
}

BOOL CWnd::Create(const char*, const char* windowName, DWORD style, const CRect& rect, CWnd* parent, UINT id,
                  CCreateContext* context) {
    if (created_) return FALSE;
    rect_ = rect;
    id_ = id;
    style_ = style;
    text_ = windowName ? windowName : "";
    visible_ = (style & WS_VISIBLE) != 0;
    invalid_ = true;
    WindowSystem::get().insert(this, parent);
    created_ = true;
    CREATESTRUCT cs{context, rect, style};
    if (SendMessage(WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow();
        return FALSE;
    }
    if (visible_) WindowSystem::get().windowShown(this, true);
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    if (!created_) return FALSE;
    auto& sys = WindowSystem::get();
    std::vector<CWnd*> kids = children_;
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) (*it)->DestroyWindow();
    OnDestroy();
    sys.remove(this);
    created_ = false;
    visible_ = false;
    PostNcDestroy();  // may delete this
    return TRUE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return WindowSystem::get().send(this, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return WindowSystem::get().post(this, message, wParam, lParam) ? TRUE : FALSE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) { return Default(message, wParam, lParam); }

LRESULT CWnd::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    CPoint pt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    switch (message) {
    case WM_CREATE:
        return OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), pt);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(static_cast<UINT>(wParam), pt);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), pt);
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wParam), LOWORD(static_cast<uintptr_t>(lParam)), HIWORD(static_cast<uintptr_t>(lParam)));
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_KEYDOWN:
        OnKeyDown(static_cast<UINT>(wParam), 1, static_cast<UINT>(lParam));
        return 0;
    case WM_CHAR:
        OnChar(static_cast<UINT>(wParam), 1, static_cast<UINT>(lParam));
        return 0;
    case WM_SHOWWINDOW:
        OnShowWindow(static_cast<BOOL>(wParam), 0);
        return 0;
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
    default:
        return 0;
    }
}

BOOL CWnd::ShowWindow(int command) {
    bool was = visible_;
    bool show = command != SW_HIDE;
    if (!created_ || was == show) return was;
    visible_ = show;
    if (show) {
        style_ |= WS_VISIBLE;
        Invalidate(FALSE);
    } else {
        style_ &= ~WS_VISIBLE;
    }
    SendMessage(WM_SHOWWINDOW, show ? 1 : 0, 0);
    WindowSystem::get().windowShown(this, show);
    return was;
}

BOOL CWnd::IsWindowVisible() const {
    for (const CWnd* w = this; w; w = w->parent_)
        if (!w->created_ || !w->visible_) return FALSE;
    return TRUE;
}

void CWnd::Invalidate(BOOL erase) { InvalidateRect(nullptr, erase); }

void CWnd::InvalidateRect(const CRect*, BOOL) {
    if (!created_) return;
    invalid_ = true;
    WindowSystem::get().invalidated();
}

void CWnd::UpdateWindow() {
    if (invalid_) WindowSystem::get().paintNow(this);
}

void CWnd::SetWindowText(const std::string& text) {
    if (text_ == text) return;
    text_ = text;
    if (created_) Invalidate(FALSE);
    if (created_ && WindowSystem::get().mainWindow() == this) WindowSystem::get().mainTitleChanged();
}

void CWnd::GetClientRect(CRect* rect) const { *rect = CRect(0, 0, rect_.Width(), rect_.Height()); }

void CWnd::GetWindowRect(CRect* rect) const { *rect = screenRect(); }

void CWnd::MoveWindow(const CRect& rect, BOOL repaint) {
    bool resized = rect.Width() != rect_.Width() || rect.Height() != rect_.Height();
    if (parent_ && parent_->created_ && rect != rect_) parent_->Invalidate(FALSE);
    rect_ = rect;
    if (resized && created_) SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(rect.Width(), rect.Height()));
    if (repaint) Invalidate(FALSE);
}

CPoint CWnd::screenOrigin() const {
    CPoint p(rect_.left, rect_.top);
    for (const CWnd* w = parent_; w; w = w->parent_) {
        p.x += w->rect_.left;
        p.y += w->rect_.top;
    }
    return p;
}

CRect CWnd::screenRect() const {
    CPoint o = screenOrigin();
    return CRect(o.x, o.y, o.x + rect_.Width(), o.y + rect_.Height());
}

void CWnd::ScreenToClient(CPoint* p) const {
    CPoint o = screenOrigin();
    p->x -= o.x;
    p->y -= o.y;
}

void CWnd::ClientToScreen(CPoint* p) const {
    CPoint o = screenOrigin();
    p->x += o.x;
    p->y += o.y;
}

int CWnd::SetDlgCtrlID(int id) {
    int old = static_cast<int>(id_);
    id_ = static_cast<UINT>(id);
    return old;
}

CWnd* CWnd::GetDlgItem(int id) const {
    for (CWnd* c : children_)
        if (c->GetDlgCtrlID() == id) return c;
    return nullptr;
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapseMs, void*) {
    if (!created_) return 0;
    WindowSystem::get().setTimer(this, id, elapseMs);
    return id;
}

BOOL CWnd::KillTimer(UINT_PTR id) { return WindowSystem::get().killTimer(this, id) ? TRUE : FALSE; }

int CWnd::OnCreate(LPCREATESTRUCT) { return 0; }
void CWnd::OnLButtonDown(UINT, CPoint) {}
void CWnd::OnLButtonUp(UINT, CPoint) {}
void CWnd::OnMouseMove(UINT, CPoint) {}
// A timer the window has no handler for would only wake the program: it rests until set again.
void CWnd::OnTimer(UINT_PTR id) { WindowSystem::get().timerUnheeded(this, id); }
void CWnd::OnSize(UINT, int, int) {}
void CWnd::OnClose() { DestroyWindow(); }
void CWnd::OnKeyDown(UINT, UINT, UINT) {}
void CWnd::OnChar(UINT, UINT, UINT) {}
void CWnd::OnShowWindow(BOOL, UINT) {}
BOOL CWnd::OnCommand(WPARAM, LPARAM) { return FALSE; }

BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return WindowSystem::get().post(hwnd, message, wParam, lParam) ? TRUE : FALSE;
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return WindowSystem::get().send(hwnd, message, wParam, lParam);
}

BOOL InvalidateRect(HWND hwnd, const CRect* rect, BOOL erase) {
    if (!IsWindow(hwnd)) return FALSE;
    hwnd->InvalidateRect(rect, erase);
    return TRUE;
}

void PostQuitMessage(int exitCode) { WindowSystem::get().postQuit(exitCode); }

BOOL IsWindow(HWND hwnd) { return hwnd && WindowSystem::get().alive(hwnd) ? TRUE : FALSE; }

}  // namespace zarn
