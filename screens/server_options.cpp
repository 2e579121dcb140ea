#include "screens/server_options.h"

#include <climits>

#include "screens/measurement_settings.h"
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
    applyServerSettings(board, m_band, m_servers);
    writeOptionLines(kServerOptionsFile, {optionInt(m_band), optionInt(m_servers)});
}

void CServerOptions::DoDataExchange(CDataExchange* dx) {
    DDX_Radio(dx, 1000, m_band);
    DDX_Radio(dx, 1002, m_servers);
}

}  // namespace zarn
