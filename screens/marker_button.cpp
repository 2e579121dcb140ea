#include "screens/marker_button.h"

#include "board/board_state.h"
#include "recording/log_recorder.h"
#include "screens/sounds.h"
#include "screens/status_strip.h"

namespace zarn {

bool markerPenDown(CWnd* screen, CPoint point) {
    if (!kIncRect.PtInRect(point)) return false;
    PlayWaveResource("PING");
    logRecorder().noteMarker(boardState());
    statusStrip().setPressed(1);
    screen->InvalidateRect(nullptr, FALSE);
    return true;
}

void markerPenUp(CWnd* screen) {
    if (statusStrip().isPressed() != 1) return;
    statusStrip().setPressed(0);
    screen->InvalidateRect(nullptr, FALSE);
}

}  // namespace zarn
