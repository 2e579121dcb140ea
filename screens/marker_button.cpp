#include "screens/marker_button.h"

#include <cstdio>

#include "board/board_state.h"
#include "recording/log_recorder.h"
#include "screens/sounds.h"
#include "screens/status_strip.h"

namespace zarn {

bool markerPenDown(CWnd* screen, CPoint point) {
    if (!kIncRect.PtInRect(point)) return false;
    PlayWaveResource("PING");
    BoardState& board = boardState();
    ++board.markerCount;
    char note[32];
    std::snprintf(note, sizeof note, "Marker #%d", static_cast<int>(board.markerCount));
    logRecorder().setNote(note);
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
