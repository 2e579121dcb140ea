#include "screens/sweep_openers.h"

#include "board/board_sequences.h"
#include "screens/server_options.h"
#include "screens/server_view.h"
#include "screens/sounds.h"
#include "screens/spectrum_options.h"
#include "screens/spectrum_view.h"

namespace zarn {
namespace {

template <class Options>
void runOptions(BoardState& board) {
    Options options;
    options.loadOptions();
    options.DoModal();
    options.applyOptions(board);
}

void openSweepScreen(BoardState& board, ScreenHost* host, const CRuntimeClass* screen, UINT screenId,
                     void (*options)(BoardState&), uint8_t mode) {
    playOnlineSound();
    returnToIdle(board);
    board.repaintEnabled = 0;  // no repaints are posted while the dialog is up
    if (host) host->SwitchView(screen, screenId);
    options(board);
    board.repaintEnabled = 1;
    startMeasurement(board, mode);
}

}  // namespace

void openSpectrumAnalysis(BoardState& board, ScreenHost* host, UINT screenId) {
    openSweepScreen(board, host, RUNTIME_CLASS(CSpectrum), screenId, runOptions<CSpectrumOptions>, kModeSpectrum);
}

void openBestServers(BoardState& board, ScreenHost* host, UINT screenId) {
    openSweepScreen(board, host, RUNTIME_CLASS(CServer), screenId, runOptions<CServerOptions>, kModeBestServers);
}

}  // namespace zarn
