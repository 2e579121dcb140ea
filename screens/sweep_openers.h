#pragma once
// The main menu's way into the sweep screens: stop the board, show the
// screen, run its options dialog (its choice is applied however the dialog
// closed), then program the board for the sweep and name the new mode.

#include "board/board_state.h"
#include "screens/screen_host.h"

namespace zarn {

void openSpectrumAnalysis(BoardState& board, ScreenHost* host, UINT screenId);
void openBestServers(BoardState& board, ScreenHost* host, UINT screenId);

}  // namespace zarn
