#include "screens/server_options.h"

#include "screens/option_file.h"

namespace zarn {

const char* const kServerOptionsFile = "\\optv.zrn";

void CServerOptions::loadOptions() {
    const std::vector<std::string> lines = readOptionLines(kServerOptionsFile, 2);
    if (lines.size() > 0) parseOptionInt(lines[0], m_band);
    if (lines.size() > 1) parseOptionInt(lines[1], m_servers);
}

void CServerOptions::applyOptions(BoardState& board) {
    if (m_band == 0 || m_band == 1) {
        board.bandIndex = static_cast<uint8_t>(m_band);
        board.applyServerSweep();
    }
    if (m_servers >= 0 && m_servers <= 9) board.serverCountSetting = static_cast<uint32_t>(m_servers);
    writeOptionFile(kServerOptionsFile, optionsText());
}

std::string CServerOptions::optionsText() const {
    return std::to_string(m_band) + "\n" + std::to_string(m_servers) + "\n";
}

void CServerOptions::DoDataExchange(CDataExchange* dx) {
    DDX_Radio(dx, 1000, m_band);
    DDX_Radio(dx, 1002, m_servers);
}

}  // namespace zarn
