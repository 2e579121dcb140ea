#include "screens/spectrum_view.h"

#include <functional>

#include "board/board_state.h"
#include "screens/marker_button.h"
#include "screens/sounds.h"
#include "screens/spectrum_actions.h"
#include "screens/spectrum_layout.h"
#include "screens/spectrum_paint.h"
#include "screens/status_strip.h"

namespace zarn {

IMPLEMENT_DYNCREATE(CSpectrum, CFormView)

namespace {

using namespace spectrum;

bool painting = false;

using TraceAction = void (*)(BoardState&, int);
constexpr TraceAction kTraceActions[3] = {selectTrace, toggleTraceVisible, toggleTraceHold};

// The big buttons in the order the pen tests them.
struct ButtonAction {
    int button;
    void (*run)(BoardState&);
};
constexpr ButtonAction kButtonActions[] = {
    {kMarkerToPeak, markerToPeak}, {kMarkerToCentre, markerToCentre}, {kMarkerLeft, markerLeft},
    {kMarkerRight, markerRight},   {kZoomIn, zoomIn},                 {kZoomOut, zoomOut},
};

// The action of the button or graph point under the pen, in the order the pen tests them.
std::function<void(BoardState&)> actionAt(CPoint point) {
    for (int flag = kEnable; flag <= kHold; ++flag)
        for (int n = 1; n <= 3; ++n)
            if (traceButton(flag, n).PtInRect(point)) return [flag, n](BoardState& b) { kTraceActions[flag](b, n); };
    for (const ButtonAction& a : kButtonActions)
        if (kBigButtons[a.button].rect.PtInRect(point)) return a.run;
    if (kGraph.PtInRect(point)) return [x = point.x](BoardState& b) { recentre(b, graphTapOffset(b, x)); };
    return nullptr;
}

}  // namespace

CSpectrum::CSpectrum() : CFormView(kTemplate) {}

void CSpectrum::OnDraw(CDC* dc) {
    if (painting) return;
    painting = true;
    CRect client;
    GetClientRect(&client);
    paintSpectrum(dc, client, boardState(), statusStrip());
    painting = false;
}

bool CSpectrum::runAction(CPoint point) {
    if (const std::function<void(BoardState&)> action = actionAt(point)) {
        PlayWaveResource("PING");
        action(boardState());
        return true;
    }
    return markerPenDown(this, point);
}

void CSpectrum::OnLButtonDown(UINT flags, CPoint point) {
    runAction(point);
    CFormView::OnLButtonDown(flags, point);
}

void CSpectrum::OnLButtonUp(UINT flags, CPoint point) {
    markerPenUp(this);
    CFormView::OnLButtonUp(flags, point);
}

}  // namespace zarn
