#include "screens/spectrum_view.h"

#include <functional>

#include "board/board_state.h"
#include "screens/sounds.h"
#include "screens/spectrum_actions.h"
#include "screens/spectrum_layout.h"
#include "screens/spectrum_paint.h"
#include "screens/status_strip.h"

namespace zarn {

IMPLEMENT_DYNCREATE(CSpectrum, CMeasurementView)

namespace {

using namespace spectrum;

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

CSpectrum::CSpectrum() : CMeasurementView(kTemplate) {}

void CSpectrum::paint(CDC* dc, const CRect&) { paintSpectrum(dc, boardState(), statusStrip()); }

bool CSpectrum::penDown(CPoint point) {
    const std::function<void(BoardState&)> action = actionAt(point);
    if (!action) return false;
    PlayWaveResource("PING");
    action(boardState());
    return true;
}

}  // namespace zarn
