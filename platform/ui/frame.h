#pragma once
// CFrameWnd: the main window. It covers the screen below the title bar: its
// client area is 240 x 294, the active view takes rows 0..267 (screen rows
// 26..293) and the command bar the rest (screen rows 294..319).
//
//  - LoadFrame creates the window, titled by the string and shown with the
//    icon of its resource number (the 32 x 32 one where there are several);
//    the base OnCreate creates the first view from the creation context with
//    control id AFX_IDW_PANE_FIRST.
//  - SetActiveView tells the old and new views (OnActivateView) when notify
//    is TRUE. GetActiveView is null until a view was made active.
//  - RecalcLayout gives the child with id AFX_IDW_PANE_FIRST the view area
//    and puts the command bar at the bottom, whatever style it was given.
//  - WM_COMMAND goes to the active view first, then to OnCommand here.
//  - Closing the main frame ends the program (PostQuitMessage(0)).

#include <string>

#include "platform/ui/command_bar.h"
#include "platform/ui/doc_view.h"

namespace zarn {

class CFrameWnd : public CWnd {
    DECLARE_DYNAMIC(CFrameWnd)
public:
    static const CRect rectDefault;
    static constexpr int kViewHeight = 268;
    static constexpr int kIconSize = 32;

    CFrameWnd() = default;
    BOOL LoadFrame(UINT resourceId, DWORD style = 0, CWnd* parent = nullptr, CCreateContext* context = nullptr);
    CView* CreateView(CCreateContext* context, UINT id = AFX_IDW_PANE_FIRST);
    CView* GetActiveView() const;
    void SetActiveView(CView* view, BOOL notify = TRUE);
    CDocument* GetActiveDocument() const;
    virtual void RecalcLayout(BOOL notify = TRUE);
    void InitialUpdateFrame(CDocument* doc, BOOL makeVisible);

    int OnCreate(LPCREATESTRUCT cs) override;
    void OnClose() override;
    void OnSize(UINT type, int cx, int cy) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;
    void setAutoDelete(bool on) { autoDelete_ = on; }

protected:
    virtual BOOL OnCreateClient(LPCREATESTRUCT cs, CCreateContext* context);

private:
    CView* activeView_ = nullptr;
    bool autoDelete_ = false;
};

}  // namespace zarn
