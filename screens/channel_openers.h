#pragma once
// What the main menu's SINGLE CHANNEL and CHANNEL TABLE buttons do: stop the
// board, show the screen, run its options step (the single-channel options,
// or the choice of a channel-table file), then program the board for the
// measurement and set the screen mode. Repaints stay off while a dialog is up.

#include "board/board_state.h"
#include "platform/ui/cwnd.h"
#include "screens/screen_host.h"

namespace zarn {

void openSingleChannel(BoardState& board, ScreenHost* host, UINT screenId);
// owner: the window the channel-table messages belong to.
void openChannelTable(BoardState& board, ScreenHost* host, UINT screenId, CWnd* owner);

}  // namespace zarn
