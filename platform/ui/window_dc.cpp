#include "platform/ui/window_dc.h"

#include "platform/ui/window_system.h"

namespace zarn {

CRect visibleScreenRect(const CWnd* wnd) {
    CRect r = wnd->screenRect();
    for (const CWnd* p = wnd->GetParent(); p; p = p->GetParent()) r.IntersectRect(r, p->screenRect());
    r.IntersectRect(r, CRect(0, 0, WindowSystem::kScreenWidth, WindowSystem::kScreenHeight));
    return r;
}

WindowDC::WindowDC(CWnd* wnd)
    : CDC(WindowSystem::get().screen(), wnd->screenOrigin(), visibleScreenRect(wnd)) {}

CDC* CWnd::GetDC() {
    if (!created_) return nullptr;
    return new CDC(WindowSystem::get().screen(), screenOrigin(), visibleScreenRect(this));
}

int CWnd::ReleaseDC(CDC* dc) {
    delete dc;
    return dc ? 1 : 0;
}

}  // namespace zarn
