#include "screens/channel_openers.h"

#include "board/board_sequences.h"
#include "platform/ui/app.h"
#include "screens/channel_table_load.h"
#include "screens/single_options.h"
#include "screens/single_view.h"
#include "screens/sounds.h"
#include "screens/table_view.h"

namespace zarn {
namespace {

void waitCursor(int code) {
    if (CWinApp* app = AfxGetApp()) app->DoWaitCursor(code);
}

}  // namespace

void openSingleChannel(BoardState& board, ScreenHost* host, UINT screenId) {
    playOnlineSound();
    returnToIdle(board);
    board.repaintEnabled = 0;
    if (host) host->SwitchView(RUNTIME_CLASS(CSingle), screenId);
    {
        CSingleOptions options;
        options.loadOptions();
        options.DoModal();  // Cancel re-applies what was loaded
        options.applyOptions(board);
    }
    board.repaintEnabled = 1;
    startMeasurement(board, kModeSingleChannel);
}

void openChannelTable(BoardState& board, ScreenHost* host, UINT screenId, CWnd* owner) {
    playOnlineSound();
    returnToIdle(board);
    if (host) host->SwitchView(RUNTIME_CLASS(CTable), screenId);
    board.repaintEnabled = 0;
    loadChannelTable(owner, board);
    board.repaintEnabled = 1;
    // Whatever the load gave, the table in force goes to the board.
    waitCursor(1);
    startMeasurement(board, kModeChannelTable);
    waitCursor(-1);
}

}  // namespace zarn
