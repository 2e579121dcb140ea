#include "screens/spectrum_actions.h"

#include <gtest/gtest.h>

#include "board/test_support.h"

namespace zarn {
namespace {

using testing::RecordingBoard;
using testing::Request;

struct Window {
    uint16_t start, count, centre, step;
};

void setWindow(BoardState& b, Window w) {
    b.sweepStart = w.start;
    b.sweepCount = w.count;
    b.sweepCentre = w.centre;
    b.sweepStep = w.step;
}

Window windowOf(const BoardState& b) { return {b.sweepStart, b.sweepCount, b.sweepCentre, b.sweepStep}; }

bool operator==(const Window& a, const Window& b) {
    return a.start == b.start && a.count == b.count && a.centre == b.centre && a.step == b.step;
}

std::ostream& operator<<(std::ostream& os, const Window& w) {
    return os << "start " << w.start << " count " << w.count << " centre " << w.centre << " step " << w.step;
}

// Stop, the window the board state now holds, start the sweep.
std::vector<Request> restartRequests(Window w) {
    return {{8, {0}},
            {21, {uint8_t(w.start), uint8_t(w.start >> 8), uint8_t(w.count), uint8_t(w.count >> 8), uint8_t(w.step),
                  uint8_t(w.step >> 8)}},
            {8, {5}}};
}

TEST(SpectrumActionsTest, SelectTraceEnablesExactlyOneAndClamps) {
    RecordingBoard b;
    const struct { int n, active; } cases[] = {{2, 2}, {3, 3}, {1, 1}, {0, 1}, {7, 3}, {-4, 1}};
    for (auto c : cases) {
        selectTrace(b, c.n);
        EXPECT_EQ(b.activeTrace, c.active) << c.n;
        for (int t = 1; t <= 3; ++t) EXPECT_EQ(b.traces[t].enabled, t == c.active ? 1 : 0) << c.n;
    }
    EXPECT_TRUE(b.requests.empty());
}

TEST(SpectrumActionsTest, TogglesFlipOnlyTheirTraceAndFlag) {
    RecordingBoard b;
    toggleTraceVisible(b, 2);
    EXPECT_EQ(b.traces[2].visible, 1);
    EXPECT_EQ(b.traces[2].hold, 0);
    EXPECT_EQ(b.traces[1].visible, 1);
    toggleTraceVisible(b, 2);
    EXPECT_EQ(b.traces[2].visible, 0);
    toggleTraceHold(b, 3);
    EXPECT_EQ(b.traces[3].hold, 1);
    b.traces[1].hold = 5;  // any set value counts as on
    toggleTraceHold(b, 1);
    EXPECT_EQ(b.traces[1].hold, 0);
    EXPECT_TRUE(b.requests.empty());
}

struct ZoomCase {
    const char* name;
    Window before;
    bool in;
    Window after;
    bool sends;
};

TEST(SpectrumActionsTest, ZoomKeepsTheWindowInsideTheBand) {
    const ZoomCase cases[] = {
        {"in on the full cellular sweep", {1, 833, 417, 1}, true, {209, 416, 417, 1}, true},
        {"out from there", {209, 416, 417, 1}, false, {1, 832, 417, 1}, true},
        {"in near the low edge", {0, 100, 10, 1}, true, {0, 50, 25, 1}, true},
        {"in on PCS near the low edge", {0, 40, 30, 5}, true, {0, 20, 50, 5}, true},
        {"in from two points", {100, 2, 101, 1}, true, {101, 1, 101, 1}, true},
        {"in from one point does nothing", {100, 1, 100, 1}, true, {100, 1, 100, 1}, false},
        {"in from no points does nothing", {100, 0, 100, 1}, true, {100, 0, 100, 1}, false},
        {"out pins the start and moves the centre", {0, 200, 100, 1}, false, {0, 400, 200, 1}, true},
        {"out wider than the cellular band does nothing", {1, 833, 417, 1}, false, {1, 833, 417, 1}, false},
        {"out one point wider than the band does nothing", {208, 417, 416, 1}, false, {208, 417, 416, 1}, false},
        {"out on the full 50 kHz sweep does nothing", {5, 1200, 3000, 5}, false, {5, 1200, 3000, 5}, false},
        {"out on PCS to the whole band", {1500, 600, 3000, 5}, false, {0, 1200, 3000, 5}, true},
        {"out near the cellular top pins the end", {392, 416, 600, 1}, false, {1, 832, 417, 1}, true},
        {"out near the PCS top pins the end", {5000, 200, 5500, 5}, false, {4005, 400, 5005, 5}, true},
        {"in on a window cut at the band's end stays inside", {780, 53, 830, 1}, true, {807, 26, 820, 1}, true},
    };
    for (const ZoomCase& c : cases) {
        RecordingBoard b;
        b.bandIndex = c.before.step == 1 ? 0 : 1;
        setWindow(b, c.before);
        b.markerOffset = 600;
        c.in ? zoomIn(b) : zoomOut(b);
        EXPECT_EQ(windowOf(b), c.after) << c.name;
        EXPECT_EQ(b.markerOffset, 600) << c.name;  // it marks a frequency, not a place in the window
        EXPECT_EQ(b.requests, c.sends ? restartRequests(c.after) : std::vector<Request>{}) << c.name;
    }
}

TEST(SpectrumActionsTest, RecentreFromGraphTaps) {
    RecordingBoard b;
    setWindow(b, {367, 101, 417, 1});
    b.traces[1].pointCount = 101;
    EXPECT_EQ(graphTapOffset(b, 30), 367u);  // the first point
    recentre(b, graphTapOffset(b, 30));
    EXPECT_EQ(windowOf(b), (Window{317, 101, 367, 1}));
    EXPECT_EQ(b.requests, restartRequests(windowOf(b)));

    // The full cellular sweep: a tap at the left edge would start the window below offset 0.
    RecordingBoard full;
    setWindow(full, {1, 833, 417, 1});
    full.traces[1].pointCount = 833;
    recentre(full, graphTapOffset(full, 30));
    EXPECT_EQ(windowOf(full), (Window{0, 833, 416, 1}));
    EXPECT_EQ(full.requests, restartRequests(windowOf(full)));

    // At the right edge the window would pass offset 832: it ends there instead.
    setWindow(full, {1, 833, 417, 1});
    EXPECT_EQ(graphTapOffset(full, 230), 1u + 828u);
    full.requests.clear();
    recentre(full, graphTapOffset(full, 230));
    EXPECT_EQ(windowOf(full), (Window{0, 833, 416, 1}));
    EXPECT_EQ(full.requests, restartRequests(windowOf(full)));

    RecordingBoard pcs;
    pcs.bandIndex = 1;
    setWindow(pcs, {2500, 200, 3000, 5});
    pcs.markerOffset = 3000;
    recentre(pcs, 5900);
    EXPECT_EQ(windowOf(pcs), (Window{5005, 200, 5505, 5}));  // last point 6000
    EXPECT_EQ(pcs.markerOffset, 3000);
    recentre(pcs, 40000);  // no offset past the band
    EXPECT_EQ(windowOf(pcs), (Window{5005, 200, 5505, 5}));
}

TEST(SpectrumActionsTest, GraphTapsOnPcsCountInRasterSteps) {
    RecordingBoard b;
    b.bandIndex = 1;
    b.pcsPlan.setPcsRaster(200000);
    setWindow(b, {20, 298, 2990, 20});
    b.traces[1].pointCount = 298;
    EXPECT_EQ(plotRaster(b), 20u);
    EXPECT_EQ(graphTapOffset(b, 130), 20u + 20u * (100u * 298u / 201u));
    b.bandIndex = 0;
    EXPECT_EQ(plotRaster(b), 1u);  // the raster counts on the PCS band only
}

TEST(SpectrumActionsTest, MarkerToPeakOnAFlatTraceGoesToTheFirstPoint) {
    RecordingBoard b;
    setWindow(b, {367, 101, 417, 1});
    b.traces[1].pointCount = 101;
    b.markerOffset = 400;
    markerToPeak(b);
    EXPECT_EQ(b.markerOffset, 367);
}

TEST(SpectrumActionsTest, MarkerToPeakFindsTheRawMaximumEarliestFirst) {
    RecordingBoard b;
    selectTrace(b, 2);
    setWindow(b, {100, 50, 200, 4});
    b.traces[2].pointCount = 50;
    b.traces[2].samples[140] = -1000;
    b.traces[2].samples[160] = -1001;  // the same whole dBm, but lower
    b.traces[2].samples[180] = -1000;  // a tie: the earlier point stays
    b.traces[2].samples[141] = -10;    // between two points: never looked at
    b.traces[1].samples[120] = -16;    // another trace
    markerToPeak(b);
    EXPECT_EQ(b.markerOffset, 140);
}

TEST(SpectrumActionsTest, MarkerToPeakStaysWithoutPointsOrAboveTheFloor) {
    RecordingBoard b;
    setWindow(b, {100, 50, 125, 1});
    b.traces[1].pointCount = 0;
    b.markerOffset = 7;
    markerToPeak(b);
    EXPECT_EQ(b.markerOffset, 7);
    b.traces[1].pointCount = 50;
    for (int i = 100; i < 150; ++i) b.traces[1].samples[i] = -2600;
    markerToPeak(b);
    EXPECT_EQ(b.markerOffset, 7);
}

TEST(SpectrumActionsTest, MarkerToPeakLooksAtNoOffsetPastTheTrace) {
    RecordingBoard b;
    setWindow(b, {5950, 300, 6000, 50});  // offsets up to 20900 lie past the samples
    b.traces[1].pointCount = 300;
    b.traces[1].samples[6000] = kEmptyLevel;
    b.traces[1].samples[6050] = 0;  // no band offset: must not count as a peak
    markerToPeak(b);
    EXPECT_EQ(b.markerOffset, 5950);
}

TEST(SpectrumActionsTest, MarkerSteps) {
    RecordingBoard b;
    setWindow(b, {0, 100, 50, 20});
    b.markerOffset = 10;
    markerLeft(b);
    EXPECT_EQ(b.markerOffset, 0);
    markerLeft(b);
    EXPECT_EQ(b.markerOffset, 0);
    markerRight(b);
    EXPECT_EQ(b.markerOffset, 20);
    b.markerOffset = 5990;
    markerRight(b);
    EXPECT_EQ(b.markerOffset, 6000);
    markerRight(b);
    EXPECT_EQ(b.markerOffset, 6000);  // never wraps past 32767
    b.sweepCentre = 417;
    markerToCentre(b);
    EXPECT_EQ(b.markerOffset, 417);
    EXPECT_TRUE(b.requests.empty());
}

TEST(SpectrumActionsTest, MarkerLevelReadsTheActiveTraceOrTheFloor) {
    RecordingBoard b;
    selectTrace(b, 3);
    b.traces[3].samples[100] = -1000;  // -62.5 dBm, truncated toward zero
    b.traces[1].samples[100] = -320;
    b.markerOffset = 100;
    EXPECT_EQ(markerLevel(b), -62);
    b.markerOffset = -5;
    EXPECT_EQ(markerLevel(b), -130);
    b.markerOffset = 6001;
    EXPECT_EQ(markerLevel(b), -130);
    b.markerOffset = 6000;
    b.traces[3].samples[6000] = -2081;
    EXPECT_EQ(markerLevel(b), -130);
}

}  // namespace
}  // namespace zarn
