#pragma once
// CSingle: the single-channel screen. For each band that has a fresh level
// (or every paint while the board runs both bands) a text line with
// frequency, channel and level, a trace scrolling right to left with the
// newest level at x 190, a level bar and the peak line of the run.

#include <array>

#include "screens/level_history.h"
#include "screens/measurement_view.h"

namespace zarn {

constexpr unsigned kSingleBackground = 154;

class CSingle : public CMeasurementView {
    DECLARE_DYNCREATE(CSingle)
public:
    static constexpr UINT kTemplate = 109;
    static constexpr size_t kHistoryLength = 158;
    static constexpr int kTraceTop = 70, kTraceBottom = 219;
    static constexpr int kTraceLeft = 32, kTraceRight = 190;
    static constexpr int kBarLeft[2] = {201, 216};
    static constexpr int kBarWidth = 14;

    CSingle();

    // What the run has kept of band 0 or 1.
    const LevelHistory& history(int band) const { return histories_[static_cast<size_t>(band)]; }
    int peak(int band) const { return peaks_[static_cast<size_t>(band)]; }

protected:
    void paint(CDC* dc, const CRect& client) override;

private:
    void drawBand(CDC* dc, int band);
    void drawBar(CDC* dc, int band);

    std::array<LevelHistory, 2> histories_;
    std::array<int, 2> peaks_{kTraceBottom, kTraceBottom};
};

// The trace y of a level in 1/16 dB: -20 dBm at y 70, 1.5 pixels a dB, held in 70..219.
int singleTraceY(int16_t level);

}  // namespace zarn
