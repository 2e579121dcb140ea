#include "screens/server_options.h"

#include <climits>

#include "screens/options_file.h"

namespace zarn {

const char* const kServerOptionsFile = "\\optv.zrn";

void CServerOptions::loadOptions() {
    OptionLines lines;
    if (!lines.read(kServerOptionsFile, 2)) return;
    lines.getInt(0, m_band, INT_MIN, INT_MAX);
    lines.getInt(1, m_servers, INT_MIN, INT_MAX);
}

void CServerOptions::applyOptions(BoardState& board) {
    if (m_band == 0 || m_band == 1)
        board.bandIndex = static_cast<uint8_t>(m_band);
    else if (board.bandIndex > 1)
        board.bandIndex = 0;  // no band chosen, none kept
    // The kept band sweeps its whole band too, not the window another screen left.
    board.applyServerSweep();
    if (m_servers >= 0 && m_servers <= 9) board.serverCountSetting = static_cast<uint32_t>(m_servers);
    writeOptionLines(kServerOptionsFile, {optionInt(m_band), optionInt(m_servers)});
}

void CServerOptions::DoDataExchange(CDataExchange* dx) {
    DDX_Radio(dx, 1000, m_band);
    DDX_Radio(dx, 1002, m_servers);
}

}  // namespace zarn
