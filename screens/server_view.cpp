#include "screens/server_view.h"

#include "board/board_state.h"
#include "screens/server_paint.h"
#include "screens/status_strip.h"

namespace zarn {

IMPLEMENT_DYNCREATE(CServer, CMeasurementView)

CServer::CServer() : CMeasurementView(kTemplate) {}

void CServer::paint(CDC* dc, const CRect&) { paintServers(dc, boardState(), statusStrip()); }

}  // namespace zarn
