#include "screens/server_view.h"

#include "board/board_state.h"
#include "screens/marker_button.h"
#include "screens/server_paint.h"
#include "screens/status_strip.h"

namespace zarn {

IMPLEMENT_DYNCREATE(CServer, CFormView)

namespace {
bool painting = false;
}  // namespace

CServer::CServer() : CFormView(kTemplate) {}

void CServer::OnDraw(CDC* dc) {
    if (painting) return;
    painting = true;
    CRect client;
    GetClientRect(&client);
    paintServers(dc, client, boardState(), statusStrip());
    painting = false;
}

void CServer::OnLButtonDown(UINT flags, CPoint point) {
    markerPenDown(this, point);
    CFormView::OnLButtonDown(flags, point);
}

void CServer::OnLButtonUp(UINT flags, CPoint point) {
    markerPenUp(this);
    CFormView::OnLButtonUp(flags, point);
}

}  // namespace zarn
