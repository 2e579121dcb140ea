#pragma once
// CWnd: a window of the device's window system.
//
//  - Windows form a tree. A top-level window (no parent) has its rectangle in
//    screen pixels; a child has it in its parent's client coordinates. The
//    client area is the whole window (no borders).
//  - Create() inserts the window and sends WM_CREATE (OnCreate returning -1
//    fails the creation). DestroyWindow() destroys the children first, drops
//    the window's queued messages and timers and ends with PostNcDestroy(),
//    where self-deleting windows delete themselves.
//  - Invalidate/InvalidateRect only mark the window; one WM_PAINT comes when
//    the queue is empty, however many marks were made (no background erase:
//    the erase flag is accepted and ignored). UpdateWindow paints at once.
//  - ShowWindow returns whether the window was visible before. A hidden
//    window neither paints nor receives the pen.
//  - SetTimer repeats until KillTimer; WM_TIMER reaches OnTimer. The default OnTimer
//    does nothing with it, so it stops that timer until SetTimer sets it again (KillTimer
//    still finds it): a timer no window handles never wakes the program.
//  - SendMessage on the user-interface thread calls WindowProc directly; from
//    another thread it waits until that thread has handled it.
//  - PostMessage is safe from any thread; it fails (FALSE) for a window that
//    no longer exists.
//  - The pen: WM_LBUTTONDOWN/UP/MOUSEMOVE carry client coordinates; the
//    window that took the pen down receives the moves and the release.

#include <string>
#include <vector>

#include "platform/ui/cobject.h"
#include "platform/gdi/geometry.h"
#include "platform/ui/wintypes.h"

namespace zarn {

class CDC;
struct CCreateContext;

struct CREATESTRUCT {
    CCreateContext* lpCreateParams = nullptr;
    CRect rect;
    DWORD style = 0;
};
using LPCREATESTRUCT = CREATESTRUCT*;

class CWnd : public CObject {
    DECLARE_DYNAMIC(CWnd)
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Creation and destruction.
    virtual BOOL Create(const char* className, const char* windowName, DWORD style, const CRect& rect, CWnd* parent,
                        UINT id, CCreateContext* context = nullptr);
    virtual BOOL DestroyWindow();
    HWND GetSafeHwnd() const { return created_ ? const_cast<CWnd*>(this) : nullptr; }
    bool isCreated() const { return created_; }

    // Messages.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Appearance.
    BOOL ShowWindow(int command);
    BOOL IsWindowVisible() const;  // this window and every parent shown
    bool isShown() const { return visible_; }
    void Invalidate(BOOL erase = TRUE);
    void InvalidateRect(const CRect* rect, BOOL erase = TRUE);
    void UpdateWindow();
    bool needsPaint() const { return invalid_; }
    void validate() { invalid_ = false; }
    void SetWindowText(const std::string& text);
    std::string GetWindowText() const { return text_; }

    // Geometry.
    void GetClientRect(CRect* rect) const;
    void GetWindowRect(CRect* rect) const;  // screen coordinates
    void MoveWindow(const CRect& rect, BOOL repaint = TRUE);
    CRect windowRect() const { return rect_; }  // in the parent's client coordinates
    CPoint screenOrigin() const;
    CRect screenRect() const;
    void ScreenToClient(CPoint* p) const;
    void ClientToScreen(CPoint* p) const;

    // Tree and ids.
    CWnd* GetParent() const { return parent_; }
    const std::vector<CWnd*>& children() const { return children_; }
    int GetDlgCtrlID() const { return static_cast<int>(id_); }
    int SetDlgCtrlID(int id);
    CWnd* GetDlgItem(int id) const;
    DWORD GetStyle() const { return style_; }

    // Timers.
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs, void* unused = nullptr);
    BOOL KillTimer(UINT_PTR id);

    // The window's device context: draws on the screen at this window's
    // place, clipped to it, and reads what the screen shows there.
    CDC* GetDC();
    int ReleaseDC(CDC* dc);

    // A message box with an OK button; the caption shows in the title bar.
    int MessageBox(const std::string& text, const std::string& caption = "", UINT type = MB_OK);

    // Handlers.
    virtual int OnCreate(LPCREATESTRUCT cs);
    virtual void OnDestroy() {}
    virtual void OnPaint() {}
    virtual void OnLButtonDown(UINT flags, CPoint point);
    virtual void OnLButtonUp(UINT flags, CPoint point);
    virtual void OnMouseMove(UINT flags, CPoint point);
    virtual void OnTimer(UINT_PTR id);
    virtual void OnSize(UINT type, int cx, int cy);
    virtual void OnClose();
    virtual void OnKeyDown(UINT key, UINT repeat, UINT flags);
    virtual void OnChar(UINT ch, UINT repeat, UINT flags);
    virtual void OnShowWindow(BOOL show, UINT status);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);  // TRUE when handled
    virtual void PostNcDestroy() {}

protected:
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

private:
    friend class WindowSystem;
    CWnd* parent_ = nullptr;
    std::vector<CWnd*> children_;
    CRect rect_;
    UINT id_ = 0;
    DWORD style_ = 0;
    std::string text_;
    bool created_ = false;
    bool visible_ = false;
    bool invalid_ = false;
};

// Free forms of the window calls.
BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL InvalidateRect(HWND hwnd, const CRect* rect, BOOL erase);
void PostQuitMessage(int exitCode);
inline BOOL PostMessageW(HWND h, UINT m, WPARAM w, LPARAM l) { return PostMessage(h, m, w, l); }
inline LRESULT SendMessageW(HWND h, UINT m, WPARAM w, LPARAM l) { return SendMessage(h, m, w, l); }
BOOL IsWindow(HWND hwnd);

}  // namespace zarn
