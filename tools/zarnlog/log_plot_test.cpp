#include "tools/zarnlog/log_plot.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/gdi/golden.h"
#include "recording/synthetic_log.h"
#include "tools/zarnlog/colour_map.h"

using namespace zarn;
namespace fs = std::filesystem;

namespace {

template <typename Fill>
void loadWritten(LoadedLog& loaded, Fill fill) {
    const std::string path = (fs::temp_directory_path() / ("zarnlog-plot-" + std::to_string(getpid()) + ".zrn")).string();
    {
        SyntheticLog log(path);
        fill(log);
        ASSERT_TRUE(log.ok());
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(loadLog({std::istreambuf_iterator<char>(in), {}}, loaded)) << loaded.problem;
    fs::remove(path);
}

// A carrier that drifts up the band by one channel a sweep over a -110 dBm floor.
void smallSpectrum(SyntheticLog& log) {
    for (int s = 0; s < 12; ++s) {
        if (s == 5) log.note("Marker #1");
        log.sweep(0, 400, 40, [&](uint16_t o) {
            const int d = std::abs(o - (410 + s));
            return static_cast<int16_t>(d < 3 ? -800 - 160 * d : -1760 + (o * 13 + s * 7) % 5 * 16);
        });
    }
}

int green(uint32_t pixel) { return (pixel >> 8) & 0xFF; }

}  // namespace

TEST(ColourMap, RunsFromDarkBlueToYellowWithGreenRisingThroughout) {
    EXPECT_EQ(viridisPixel(0.0), 0x440154u);
    EXPECT_EQ(viridisPixel(1.0), 0xFDE725u);
    EXPECT_EQ(viridisPixel(-3.0), 0x440154u);
    EXPECT_EQ(viridisPixel(7.0), 0xFDE725u);
    EXPECT_EQ(viridisPixel(std::nan("")), 0x440154u);
    for (int i = 1; i <= 100; ++i) EXPECT_GE(green(viridisPixel(i / 100.0)), green(viridisPixel((i - 1) / 100.0))) << i;
}

TEST(LogPlot, WaterfallOfASmallLogMatchesItsGoldenImage) {
    LoadedLog log;
    loadWritten(log, smallSpectrum);
    Surface image;
    ASSERT_TRUE(plotLog(log, "small.zrn", image));
    const GoldenResult result = compareWithGolden(image, "zarnlog_waterfall");
    EXPECT_TRUE(result.ok) << result.message;
}

TEST(LogPlot, TheStrongestPointIsTheTopColourAndTheFloorTheBottom) {
    LoadedLog log;
    loadWritten(log, smallSpectrum);
    Surface image;
    ASSERT_TRUE(plotLog(log, "small.zrn", image));
    // The first sweep fills the first rows of the plot; its carrier sits at offset 410.
    const int top = 22 + 22 + 2, left = 70;
    const int carrierX = left + (410 - 400) * 620 / 40 + 5;
    EXPECT_EQ(image.at(carrierX, top), viridisPixel(1.0));
    EXPECT_LT(green(image.at(left + 2, top)), 0x40);
}

TEST(LogPlot, LevelsAndTablesGetLinePanelsAndOtherRecordsNone) {
    LoadedLog lines;
    loadWritten(lines, [](SyntheticLog& log) {
        for (int i = 0; i < 5; ++i) log.singleChannel(384, int16_t(-1000 - 16 * i), 3250, -1200);
        for (int i = 0; i < 5; ++i) log.table({{0, 384, -900}, {1, 25, -1100}});
    });
    Surface image;
    ASSERT_TRUE(plotLog(lines, "lines.zrn", image));
    EXPECT_EQ(image.width, 800);
    EXPECT_EQ(image.height, 22 + 2 * (22 + 220 + 34));
    LoadedLog none;
    loadWritten(none, [](SyntheticLog& log) {
        log.bestServers(0, {{417, -55}});
        log.frame(14, {1, 2});
    });
    EXPECT_FALSE(plotLog(none, "none.zrn", image));
    EXPECT_EQ(image.width, 0);
}
