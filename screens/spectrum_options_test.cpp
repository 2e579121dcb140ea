#include "screens/spectrum_options.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "board/test_support.h"
#include "platform/headless/headless_backend.h"
#include "platform/temp_device.h"
#include "screens/options_file.h"

namespace zarn {
namespace {

using testing::RecordingBoard;

void applyChoice(BoardState& b, int band, int units, double centre, double span) {
    CSpectrumOptions o;
    o.m_band = band;
    o.m_units = units;
    o.m_centre = centre;
    o.m_span = span;
    o.applyOptions(b);
}

struct ApplyCase {
    const char* name;
    int band, units;
    double centre, span;
    uint32_t raster;
    uint16_t start, count, centreOffset, step;
};

TEST(SpectrumOptionsTest, ChoicesBecomeTheSweepWindow) {
    const ApplyCase cases[] = {
        {"cellular MHz", 0, 0, 881.52, 3.0, 50000, 367, 101, 417, 1},
        {"cellular channels", 0, 1, 384, 100, 50000, 367, 101, 417, 1},
        {"cellular whole band", 0, 0, 881.52, 30.0, 50000, 1, 832, 417, 1},
        {"cellular low edge", 0, 1, 990, 100, 50000, 1, 101, 0, 1},
        {"cellular negative span", 0, 1, 384, -1, 50000, 417, 1, 417, 1},
        {"cellular huge span", 0, 0, 881.52, 1e12, 50000, 1, 832, 417, 1},
        {"PCS 50 kHz", 1, 0, 1960.0, 10.0, 50000, 2500, 200, 3000, 5},
        {"PCS 200 kHz", 1, 0, 1960.0, 10.0, 200000, 2500, 50, 3000, 20},
        {"PCS start would wrap", 1, 0, 1935.0, 20.0, 50000, 0, 400, 500, 5},
        {"PCS centre 0", 1, 0, 0.0, 1.0, 50000, 0, 20, 0, 5},
        {"PCS centre above the band", 1, 0, 2100.0, 1.0, 50000, 5950, 11, 6000, 5},
        {"PCS window cut at the band's end", 1, 0, 1985.0, 20.0, 50000, 4500, 301, 5500, 5},
        {"PCS 30 kHz window cut at the band's end", 1, 1, 1990, 100, 30000, 5822, 60, 5972, 3},
        {"PCS negative span", 1, 0, 1960.0, -5.0, 50000, 3000, 1, 3000, 5},
        {"PCS huge span", 1, 0, 1960.0, 1e9, 50000, 0, 1200, 3000, 5},
        {"PCS NaN span", 1, 0, 1960.0, std::nan(""), 30000, 3000, 1, 3000, 3},
        {"PCS channels", 1, 1, 600, 40, 50000, 2900, 40, 3000, 5},
        {"PCS huge channel span", 1, 1, 1000, 70000, 30000, 2, 2000, 3002, 3},
    };
    for (const ApplyCase& c : cases) {
        testing::TempDevice root;
        RecordingBoard b;
        b.pcsPlan.setPcsRaster(c.raster);
        b.markerOffset = 9;
        applyChoice(b, c.band, c.units, c.centre, c.span);
        EXPECT_EQ(b.bandIndex, c.band) << c.name;
        EXPECT_EQ(b.sweepStart, c.start) << c.name;
        EXPECT_EQ(b.sweepCount, c.count) << c.name;
        EXPECT_EQ(b.sweepCentre, c.centreOffset) << c.name;
        EXPECT_EQ(b.sweepStep, c.step) << c.name;
        EXPECT_EQ(b.markerOffset, c.centreOffset) << c.name;
        EXPECT_TRUE(b.requests.empty()) << c.name;  // the main menu programs the board afterwards
    }
}

TEST(SpectrumOptionsTest, CellularChoiceTunesThePlan) {
    testing::TempDevice root;
    RecordingBoard b;
    applyChoice(b, 0, 0, 881.52, 3.0);
    EXPECT_EQ(b.cellularPlan.tunedStep(), 29384u);
    EXPECT_EQ(b.cellularPlan.span(), 100u);
}

TEST(SpectrumOptionsTest, TheChoiceIsWrittenBack) {
    testing::TempDevice root;
    RecordingBoard b;
    applyChoice(b, 0, 0, 881.52, 3.0);
    EXPECT_EQ(root.readBelowRoot("opts.zrn"), "0\n0\n881.520000\n3.000000\n");
    applyChoice(b, 1, 1, 600.7, 40.9);
    EXPECT_EQ(root.readBelowRoot("opts.zrn"), "1\n1\n600\n40\n");
}

TEST(SpectrumOptionsTest, NoBandKeepsTheWindowAndStillWritesTheFile) {
    testing::TempDevice root;
    RecordingBoard b;
    b.bandIndex = 1;
    b.sweepStart = 2500, b.sweepCount = 200, b.sweepCentre = 3000, b.sweepStep = 5;
    for (int band : {-1, 2, 255}) {
        applyChoice(b, band, -1, 0.0, 0.0);
        EXPECT_EQ(b.bandIndex, 1) << band;
        EXPECT_EQ(b.sweepStart, 2500) << band;
        EXPECT_EQ(b.sweepCount, 200) << band;
        EXPECT_EQ(b.sweepStep, 5) << band;
        EXPECT_EQ(b.markerOffset, 3000) << band;
    }
    EXPECT_EQ(root.readBelowRoot("opts.zrn"), "255\n-1\n0\n0\n");
    applyChoice(b, -1, -1, 0.0, 0.0);
    EXPECT_EQ(root.readBelowRoot("opts.zrn"), "-1\n-1\n0\n0\n");
}

TEST(SpectrumOptionsTest, AnUnwritableFileStillApplies) {
    testing::TempDevice root;
    std::filesystem::create_directory(std::filesystem::path(root.root()) / "opts.zrn");  // a folder where the file should go
    RecordingBoard b;
    applyChoice(b, 0, 0, 881.52, 3.0);
    EXPECT_EQ(b.sweepStart, 367);
}

struct LoadCase {
    const char* name;
    const char* file;
    int band, units;
    double centre, span;
};

TEST(SpectrumOptionsTest, LoadingKeepsWhatTheFileDoesNotGive) {
    constexpr double kLimit = OptionLines::kTypedValueLimit;
    const LoadCase cases[] = {
        {"full MHz", "0\n0\n881.520000\n3.000000\n", 0, 0, 881.52, 3.0},
        {"channels read as whole numbers", "1\n1\n600.9\n40.2\n", 1, 1, 600, 40},
        {"two lines", "1\n0\n", 1, 0, 0.0, 0.0},
        {"empty", "", -1, -1, 0.0, 0.0},
        {"numbers out of range", "99999999999\n0\n1e999\n-1e999\n", INT_MAX, 0, kLimit, -kLimit},
        {"channels out of range", "1\n1\n99999999999\n-99999999999\n", 1, 1, kLimit, -kLimit},
        {"not numbers read as atoi and atof do", "x\ny\nz\nw\n", 0, 0, 0.0, 0.0},
        {"NaN keeps the value", "0\n0\nnan\n2\n", 0, 0, 0.0, 2.0},
        {"over-long first line", "0000000000000000000000000000000000000000000000000000000000000000000000000000001234\n1\n5\n6\n",
         1, 1, 5, 6},  // cut after 79 characters: 78 zeros and a 1
        {"CR LF", "0\r\n0\r\n881.52\r\n1\r\n", 0, 0, 881.52, 1.0},
    };
    for (const LoadCase& c : cases) {
        testing::TempDevice root;
        root.writeBelowRoot("opts.zrn", c.file);
        CSpectrumOptions o;
        o.loadOptions();
        EXPECT_EQ(o.m_band, c.band) << c.name;
        EXPECT_EQ(o.m_units, c.units) << c.name;
        EXPECT_DOUBLE_EQ(o.m_centre, c.centre) << c.name;
        EXPECT_DOUBLE_EQ(o.m_span, c.span) << c.name;
    }
}

TEST(SpectrumOptionsTest, NoFileKeepsTheConstructionValues) {
    testing::TempDevice root;
    CSpectrumOptions o;
    o.loadOptions();
    EXPECT_EQ(o.m_band, -1);
    EXPECT_EQ(o.m_units, -1);
    EXPECT_EQ(o.m_centre, 0.0);
    EXPECT_EQ(o.m_span, 0.0);
}

TEST(SpectrumOptionsTest, ChannelUnitsRoundTripTruncated) {
    testing::TempDevice root;
    RecordingBoard b;
    applyChoice(b, 0, 1, 384.8, 100.6);
    CSpectrumOptions o;
    o.loadOptions();
    EXPECT_EQ(o.m_centre, 384.0);
    EXPECT_EQ(o.m_span, 100.0);
}

TEST(SpectrumOptionsTest, DialogShowsAndReadsBackItsControls) {
    testing::TempDevice root;
    HeadlessBackend backend;
    backend.install();
    CSpectrumOptions o;
    o.m_band = 0;
    o.m_units = 0;
    o.m_centre = 881.52;
    o.m_span = 3;
    backend.whenIdle([&] {
        ASSERT_FALSE(backend.modals().empty());
        EXPECT_EQ(backend.modals().back().caption, "Spectrum Options");
        EXPECT_EQ(o.item(1000)->checked(), 1);
        EXPECT_EQ(o.item(1022)->checked(), 1);
        EXPECT_EQ(o.item(1020)->GetWindowText(), "881.52");
        EXPECT_EQ(o.item(1024)->GetWindowText(), "Center");
        o.item(1001)->setChecked(1);
        o.item(1000)->setChecked(0);
        o.item(1020)->SetWindowText("1960");
        o.item(1021)->SetWindowText("10");
        backend.key(VK_RETURN);
    });
    EXPECT_EQ(o.DoModal(), IDOK);
    EXPECT_EQ(o.m_band, 1);
    EXPECT_EQ(o.m_centre, 1960.0);
    EXPECT_EQ(o.m_span, 10.0);
    EXPECT_EQ(o.m_units, 0);
}

TEST(SpectrumOptionsTest, TextThatIsNoFiniteNumberKeepsTheDialogOpen) {
    testing::TempDevice root;
    HeadlessBackend backend;
    backend.install();
    for (const char* typed : {"nan", "NaN", "-nan", "nan(7)", "inf", "-INF", "infinity", "1e999"}) {
        CSpectrumOptions o;
        backend.whenIdle([&] {
            o.item(1020)->SetWindowText(typed);
            backend.key(VK_RETURN);
        });
        backend.whenIdle([&] {
            EXPECT_EQ(backend.modals().back().kind, "messagebox") << typed;
            EXPECT_EQ(backend.modals().back().text, "Please enter a number.") << typed;
            backend.key(VK_RETURN);
        });
        backend.whenIdle([&] {
            o.item(1020)->SetWindowText("881.52");
            backend.key(VK_RETURN);
        });
        EXPECT_EQ(o.DoModal(), IDOK) << typed;
        EXPECT_EQ(o.m_centre, 881.52) << typed;
    }
    EXPECT_EQ(backend.unansweredModals(), 0);
}

}  // namespace
}  // namespace zarn
