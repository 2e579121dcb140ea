#include "screens/spectrum_options.h"

#include <climits>

#include "screens/measurement_settings.h"
#include "screens/options_file.h"

namespace zarn {

const char* const kSpectrumOptionsFile = "\\opts.zrn";

void CSpectrumOptions::loadOptions() {
    OptionLines lines;
    if (!lines.read(kSpectrumOptionsFile, 4)) return;
    lines.getInt(0, m_band, INT_MIN, INT_MAX);
    lines.getInt(1, m_units, INT_MIN, INT_MAX);
    lines.getTypedValue(2, m_centre, m_units != 0);
    lines.getTypedValue(3, m_span, m_units != 0);
}

void CSpectrumOptions::applyOptions(BoardState& board) {
    const bool megahertz = m_units == 0;
    applySpectrumSettings(board, {m_band, m_centre, m_span, megahertz});
    writeOptionLines(kSpectrumOptionsFile, {optionInt(m_band), optionInt(m_units), optionTyped(m_centre, !megahertz),
                                            optionTyped(m_span, !megahertz)});
}

void CSpectrumOptions::DoDataExchange(CDataExchange* dx) {
    DDX_Radio(dx, 1000, m_band);
    DDX_Text(dx, 1020, m_centre);
    DDX_Text(dx, 1021, m_span);
    DDX_Radio(dx, 1022, m_units);
}

}  // namespace zarn
