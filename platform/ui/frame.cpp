#include "platform/ui/frame.h"

#include "platform/gdi/resource.h"
#include "platform/ui/app.h"
#include "platform/ui/window_system.h"

namespace zarn {

IMPLEMENT_DYNAMIC(CFrameWnd, CWnd)

const CRect CFrameWnd::rectDefault(0, 0, 240, CFrameWnd::kViewHeight);

BOOL CFrameWnd::LoadFrame(UINT resourceId, DWORD style, CWnd* parent, CCreateContext* context) {
    // The window title is the template string's first field.
    std::string title = loadString(static_cast<int>(resourceId));
    title = title.substr(0, title.find('\n'));
    CRect rect(0, WindowSystem::kClientTop, WindowSystem::kScreenWidth, WindowSystem::kScreenHeight);
    // The icon of the same number, at the size a window's icon is drawn.
    const int id = static_cast<int>(resourceId);
    WindowSystem::get().setProgramIcon(findIcon(id, kIconSize) ? findIcon(id, kIconSize) : findIcon(id));
    return Create(nullptr, title.c_str(), style & ~WS_VISIBLE, rect, parent, resourceId, context);
}

int CFrameWnd::OnCreate(LPCREATESTRUCT cs) {
    if (!OnCreateClient(cs, cs ? cs->lpCreateParams : nullptr)) return -1;
    RecalcLayout();
    return 0;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCT, CCreateContext* context) {
    if (context && context->m_pNewViewClass) return CreateView(context, AFX_IDW_PANE_FIRST) ? TRUE : FALSE;
    return TRUE;
}

CView* CFrameWnd::CreateView(CCreateContext* context, UINT id) {
    if (!context || !context->m_pNewViewClass) return nullptr;
    CObject* object = context->m_pNewViewClass->CreateObject();
    CView* view = dynamic_cast<CView*>(object);
    if (!view) {
        delete object;
        return nullptr;
    }
    view->setAutoDelete(true);
    if (!view->Create(nullptr, nullptr, AFX_WS_DEFAULT_VIEW, rectDefault, this, id, context)) {
        if (!view->isCreated()) delete view;  // a failed Create has not deleted it
        return nullptr;
    }
    return view;
}

CView* CFrameWnd::GetActiveView() const { return IsWindow(activeView_) ? activeView_ : nullptr; }

void CFrameWnd::SetActiveView(CView* view, BOOL notify) {
    CView* old = GetActiveView();
    activeView_ = view;
    if (!notify || old == view) return;
    if (old) old->OnActivateView(FALSE, view, old);
    if (view) view->OnActivateView(TRUE, view, old);
}

CDocument* CFrameWnd::GetActiveDocument() const {
    CView* v = GetActiveView();
    return v ? v->GetDocument() : nullptr;
}

void CFrameWnd::RecalcLayout(BOOL) {
    CRect client;
    GetClientRect(&client);
    for (CWnd* child : children()) {
        if (child->IsKindOf(RUNTIME_CLASS(CCeCommandBar))) {
            child->MoveWindow(CRect(0, kViewHeight, client.right, client.bottom), TRUE);
        } else if (child->GetDlgCtrlID() == static_cast<int>(AFX_IDW_PANE_FIRST)) {
            CRect pane(0, 0, client.right, kViewHeight);
            if (child->windowRect() != pane) child->MoveWindow(pane, TRUE);
        }
    }
}

void CFrameWnd::InitialUpdateFrame(CDocument*, BOOL makeVisible) {
    CView* first = nullptr;
    for (CWnd* child : children())
        if (child->GetDlgCtrlID() == static_cast<int>(AFX_IDW_PANE_FIRST) && child->IsKindOf(RUNTIME_CLASS(CView)))
            first = static_cast<CView*>(child);
    if (first) {
        SetActiveView(first);
        first->OnInitialUpdate();
    }
    RecalcLayout();
    if (makeVisible) ShowWindow(SW_SHOW);
}

void CFrameWnd::OnClose() {
    bool main = WindowSystem::get().mainWindow() == this;
    DestroyWindow();
    if (main) PostQuitMessage(0);
}

void CFrameWnd::OnSize(UINT type, int, int) {
    if (type != SIZE_MINIMIZED) RecalcLayout();
}

LRESULT CFrameWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        CView* view = GetActiveView();
        if (view && view->OnCommand(wParam, lParam)) return 1;
        if (OnCommand(wParam, lParam)) return 1;
        if (CWinApp* app = AfxGetApp()) return app->OnCmdMsg(static_cast<UINT>(LOWORD(wParam)));
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CFrameWnd::PostNcDestroy() {
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
    if (autoDelete_) delete this;
}

}  // namespace zarn
