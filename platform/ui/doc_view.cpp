#include "platform/ui/doc_view.h"

#include <algorithm>

#include "platform/gdi/dc.h"
#include "platform/ui/window_dc.h"

namespace zarn {

IMPLEMENT_DYNAMIC(CDocument, CObject)
IMPLEMENT_DYNAMIC(CView, CWnd)
IMPLEMENT_DYNAMIC(CFormView, CView)

CDocument::~CDocument() {
    for (CView* v : views_) v->document_ = nullptr;
}

void CDocument::AddView(CView* view) {
    if (view->document_ == this) return;
    if (view->document_) view->document_->RemoveView(view);
    views_.push_back(view);
    view->document_ = this;
}

void CDocument::RemoveView(CView* view) {
    std::erase(views_, view);
    if (view->document_ == this) view->document_ = nullptr;
}

CView* CDocument::GetNextView(POSITION& pos) const {
    if (pos == 0 || pos > views_.size()) {
        pos = 0;
        return nullptr;
    }
    CView* v = views_[pos - 1];
    pos = pos < views_.size() ? pos + 1 : 0;
    return v;
}

void CDocument::UpdateAllViews(CView* sender) {
    for (CView* v : views_)
        if (v != sender) v->Invalidate(FALSE);
}

CView::~CView() {
    if (document_) document_->RemoveView(this);
}

int CView::OnCreate(LPCREATESTRUCT cs) {
    if (cs && cs->lpCreateParams && cs->lpCreateParams->m_pCurrentDoc) cs->lpCreateParams->m_pCurrentDoc->AddView(this);
    return 0;
}

void CView::OnActivateView(BOOL, CView*, CView*) {}

void CView::OnPaint() {
    WindowDC dc(this);
    OnDraw(&dc);
}

void CView::PostNcDestroy() {
    if (autoDelete_) delete this;
}

}  // namespace zarn
