#include "tools/zarnlog/plot/log_plot.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/gdi/golden.h"
#include "recording/log_reader.h"
#include "recording/synthetic_log.h"
#include "survey/colour_map.h"

using namespace zarn;
namespace fs = std::filesystem;

namespace {

// CLogFile flushes every record to storage; on a tmpfs that costs nothing.
fs::path fastTempFolder() {
    std::error_code ec;
    return fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
}

// Writes a log with `fill` and plots it; false when nothing was drawn.
template <typename Fill>
bool plotWritten(Fill fill, Surface& image, const std::string& title = "small.zrn", const PlotOptions& options = {}) {
    const std::string path = (fastTempFolder() / ("zarnlog-plot-" + std::to_string(getpid()) + ".zrn")).string();
    {
        SyntheticLog log(path);
        fill(log);
        EXPECT_TRUE(log.ok());
    }
    LogReader reader;
    LogHeader header;
    EXPECT_TRUE(reader.open(path) && reader.readHeader(header)) << reader.problem();
    const bool drawn = plotLog(reader, header, title, image, {}, options);
    fs::remove(path);
    return drawn;
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
    Surface image;
    ASSERT_TRUE(plotWritten(smallSpectrum, image));
    const GoldenResult result = compareWithGolden(image, "zarnlog_waterfall");
    EXPECT_TRUE(result.ok) << result.message;
}

TEST(LogPlot, TheStrongestPointIsTheTopColourAndTheFloorTheBottom) {
    Surface image;
    ASSERT_TRUE(plotWritten(smallSpectrum, image));
    // The first sweep fills the first rows of the plot; its carrier sits at offset 410.
    const int top = 22 + 22 + 2, left = 70;
    const int carrierX = left + (410 - 400) * 620 / 40 + 5;
    EXPECT_EQ(image.at(carrierX, top), viridisPixel(1.0));
    EXPECT_LT(green(image.at(left + 2, top)), 0x40);
}

TEST(LogPlot, LevelsAndTablesGetLinePanelsAndFramesNone) {
    Surface image;
    ASSERT_TRUE(plotWritten([](SyntheticLog& log) {
        for (int i = 0; i < 5; ++i) log.singleChannel(384, int16_t(-1000 - 16 * i), 3250, -1200);
        for (int i = 0; i < 5; ++i) log.table({{0, 384, -900}, {1, 25, -1100}});
    }, image));
    EXPECT_EQ(image.width, 800);
    EXPECT_EQ(image.height, 22 + 2 * (22 + 220 + 34));
    EXPECT_FALSE(plotWritten([](SyntheticLog& log) { log.frame(14, {1, 2}); }, image));
    EXPECT_EQ(image.width, 0);
}

// More sweeps than rows and more records than columns, notes of every width
// crowding the same rows and columns, tables whose slots come and go: the
// picture a reading of the whole log into memory drew, pixel for pixel.
TEST(LogPlot, ALongLogFoldsIntoThePictureOfAllItsRecords) {
    Surface image;
    ASSERT_TRUE(plotWritten([](SyntheticLog& log) {
        for (int s = 0; s < 2100; ++s) {
            if (s % 2 == 0) log.note(std::string(1 + s % 23, 'M') + std::to_string(s));
            log.sweep(static_cast<uint8_t>(s % 3 == 0), s % 3 == 0 ? 3000 : 400, 30, [&](uint16_t o) {
                return static_cast<int16_t>((o * 37 + s * 11) % 23 == 0 ? SyntheticLog::kNotCaptured : -1700 + (o * 7 + s * 5) % 600);
            });
        }
        for (int i = 0; i < 1500; ++i) {
            if (i % 100 < 4) log.note("Marker #" + std::to_string(i));
            log.singleChannel(384, static_cast<int16_t>(-1400 + (i * 53) % 500), 3250, static_cast<int16_t>(-1000 - (i * 31) % 700));
        }
        for (int i = 0; i < 1300; ++i) {
            if (i % 50 < 3) log.note(std::string(i % 30, '-') + "T");
            std::vector<ChannelSlot> slots;
            for (int k = 0; k < 1 + (i / 90) % 12; ++k)
                slots.push_back({static_cast<uint8_t>(k % 2), static_cast<uint16_t>(300 + 17 * k), static_cast<int16_t>(-1500 + (i * (k + 3) * 29) % 800)});
            log.table(slots);
        }
    }, image, "long.zrn"));
    const GoldenResult result = compareWithGolden(image, "zarnlog_long_log");
    EXPECT_TRUE(result.ok) << result.message;
}

// The scale given sets the colour bar's ends: its own ends draw what the
// automatic scale draws, wider ends move the carrier down the colour map.
TEST(LogPlot, TheLevelScaleGivenColoursTheWaterfall) {
    Surface automatic, same, wider;
    ASSERT_TRUE(plotWritten(smallSpectrum, automatic));
    PlotOptions options;
    options.scale = LevelScale{-110, -50};
    ASSERT_TRUE(plotWritten(smallSpectrum, same, "small.zrn", options));
    EXPECT_TRUE(same.pixels == automatic.pixels);
    options.scale = LevelScale{-110, -30};
    ASSERT_TRUE(plotWritten(smallSpectrum, wider, "small.zrn", options));
    const int top = 22 + 22 + 2, carrierX = 70 + (410 - 400) * 620 / 40 + 5;
    EXPECT_EQ(wider.at(carrierX, top), viridisPixel(0.75));
}

// A time window draws what a log of only the records inside it draws.
TEST(LogPlot, ATimeWindowDrawsWhatALogOfOnlyItsRecordsDraws) {
    const fs::path dir = fastTempFolder() / ("zarnlog-window-" + std::to_string(getpid()));
    fs::create_directories(dir / "part");
    const std::string whole = (dir / "w.zrn").string(), part = (dir / "part" / "w.zrn").string();
    {
        SyntheticLog log(whole);
        smallSpectrum(log);
        for (int i = 0; i < 6; ++i) log.singleChannel(384, int16_t(-1000 - 40 * i), 3250, -1200);
        ASSERT_TRUE(log.ok());
    }
    StampWindow window{stampSeconds({2004, 7, 9, 14, 0, 3}), stampSeconds({2004, 7, 9, 14, 0, 15})};
    {
        std::ifstream in(whole, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        LogReader reader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        LogHeader header;
        ASSERT_TRUE(reader.readHeader(header));
        std::string kept = bytes.substr(0, 15);
        LogRecord r;
        while (reader.next(r) == ReadStatus::Record) {
            const size_t end = static_cast<size_t>(r.payload - reinterpret_cast<const uint8_t*>(bytes.data())) + r.length;
            if (window.contains(r.time)) kept += bytes.substr(r.offset, end - r.offset);
        }
        std::ofstream(part, std::ios::binary) << kept;
    }
    const auto plot = [](const std::string& path, const PlotOptions& options) {
        LogReader reader;
        LogHeader header;
        Surface image;
        EXPECT_TRUE(reader.open(path) && reader.readHeader(header));
        EXPECT_TRUE(plotLog(reader, header, "w.zrn", image, {}, options));
        return image;
    };
    PlotOptions options;
    options.window = window;
    const Surface windowed = plot(whole, options), alone = plot(part, {});
    EXPECT_EQ(windowed.height, alone.height);
    EXPECT_TRUE(windowed.pixels == alone.pixels);
    EXPECT_FALSE(windowed.pixels == plot(whole, {}).pixels);
    fs::remove_all(dir);
}
