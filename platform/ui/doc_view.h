#pragma once
// CDocument, CView and CFormView: the document/view pieces that the frame's
// screen switching rests on.
//
//  - A view joins its document when it is created with a creation context
//    naming the document, and leaves it when the view object goes.
//  - GetFirstViewPosition/GetNextView walk the views in the order they were
//    created; a POSITION of 0 is the end.
//  - A view paints through OnDraw with a device context on the screen whose
//    (0,0) is the view's top-left pixel and which draws nowhere else.
//  - Views made by the framework (CreateObject) delete themselves when their
//    window is destroyed, as the device's framework does.

#include <cstddef>
#include <vector>

#include "platform/gdi/dc.h"
#include "platform/ui/cwnd.h"

namespace zarn {

class CDocument;
class CView;
class CFrameWnd;
class CSingleDocTemplate;

using POSITION = size_t;

struct CCreateContext {
    const CRuntimeClass* m_pNewViewClass = nullptr;
    CDocument* m_pCurrentDoc = nullptr;
    CSingleDocTemplate* m_pNewDocTemplate = nullptr;
    CView* m_pLastView = nullptr;
    CFrameWnd* m_pCurrentFrame = nullptr;
};

class CDocument : public CObject {
    DECLARE_DYNAMIC(CDocument)
public:
    CDocument() = default;
    ~CDocument() override;
    virtual BOOL OnNewDocument() { return TRUE; }
    void AddView(CView* view);
    void RemoveView(CView* view);
    POSITION GetFirstViewPosition() const { return views_.empty() ? 0 : 1; }
    CView* GetNextView(POSITION& pos) const;
    void UpdateAllViews(CView* sender);
    size_t viewCount() const { return views_.size(); }

private:
    std::vector<CView*> views_;
};

class CView : public CWnd {
    DECLARE_DYNAMIC(CView)
public:
    CView() = default;
    ~CView() override;
    CDocument* GetDocument() const { return document_; }
    virtual void OnDraw(CDC* dc) = 0;
    virtual void OnInitialUpdate() {}
    virtual void OnActivateView(BOOL activate, CView* activated, CView* deactivated);
    void OnPaint() override;
    int OnCreate(LPCREATESTRUCT cs) override;
    void PostNcDestroy() override;
    void setAutoDelete(bool on) { autoDelete_ = on; }

private:
    friend class CDocument;
    CDocument* document_ = nullptr;
    bool autoDelete_ = false;
};

class CFormView : public CView {
    DECLARE_DYNAMIC(CFormView)
public:
    explicit CFormView(UINT templateId = 0) : templateId_(templateId) {}
    void OnDraw(CDC*) override {}
    UINT templateId() const { return templateId_; }

private:
    UINT templateId_;
};

}  // namespace zarn
