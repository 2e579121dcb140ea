// zarnlog occupancy as a user runs it: a carrier on for the first half hour of an
// hour's sweeps gives its rows and its picture, and each mistake on the command line
// is told as such.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/gdi/png_file.h"
#include "recording/synthetic_log.h"
#include "survey/colour_map.h"
#include "tools/zarnlog/plot/plot_occupancy.h"
#include "tools/zarnlog/plot/plot_parts.h"
#include "tools/zarnlog/zarnlog_test_support.h"

namespace zarn::testing {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A sweep a minute for an hour over offsets 100..109 (872.01..872.28 MHz), all at
// -105 dBm but 872.16 MHz at -50 for the first 30 minutes.
std::string hourOfSweeps(const TempFolder& dir) {
    const std::string path = dir.file("hour.zrn");
    SyntheticLog log(path, 30000, 60);
    for (int minute = 0; minute < 60; ++minute)
        log.sweep(0, 100, 10, [&](uint16_t offset) { return int16_t(offset == 105 && minute < 30 ? -800 : -1680); });
    EXPECT_TRUE(log.ok());
    return path;
}

TEST(ZarnlogOccupancy, ACarrierOnForHalfAnHourShowsInTheRowsAndThePicture) {
    TempFolder dir;
    const std::string log = hourOfSweeps(dir);
    const Outcome shown = zarnlog({"occupancy", log, "--threshold", "-90"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    const std::vector<std::string> rows = linesOf(shown.out);
    ASSERT_EQ(rows.size(), 1u + 4 * 10) << "four 15-minute periods of ten points";
    EXPECT_EQ(rows[6], "2004-07-09T14:00:00,800,72,872.16,15,15,1.0000,-50.00,-50.0,-90");
    EXPECT_EQ(rows[16], "2004-07-09T14:15:00,800,72,872.16,15,15,1.0000,-50.00,-50.0,-90");
    EXPECT_EQ(rows[26], "2004-07-09T14:30:00,800,72,872.16,15,0,0.0000,-105.00,-105.0,-90");
    EXPECT_EQ(rows[1], "2004-07-09T14:00:00,800,67,872.01,15,0,0.0000,-105.00,-105.0,-90");

    // The same rows in a file; --begin and --end keep the periods of the records between.
    const Outcome written = zarnlog({"occupancy", log, "--threshold", "-90", "-o", dir.file("out/occ.csv")});
    ASSERT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(readText(dir.file("out/occ.csv")), shown.out);
    const Outcome window = zarnlog({"occupancy", log, "--period", "1h", "--begin", "2004-07-09T14:20", "--end",
                                    "2004-07-09T14:40"});
    ASSERT_EQ(window.status, 0) << window.err;
    EXPECT_EQ(linesOf(window.out)[6], "2004-07-09T14:00:00,800,72,872.16,20,10,0.5000,-53.01,-50.0,-95");

    const Outcome drawn = zarnlog({"occupancy", log, "--threshold", "-90", "-o", dir.file("occ.png")});
    ASSERT_EQ(drawn.status, 0) << drawn.err;
    Surface image;
    ASSERT_TRUE(readPng(dir.file("occ.png"), image));
    // The panel's plot begins under the picture's and the panel's titles (22 px each),
    // 70 px in; 160 rows for 4 periods, a column of 61 px for each of the 10 points.
    const int top = 44, left = 70, busy = left + 5 * 61 + 30;
    EXPECT_EQ(image.at(busy, top + 10), viridisPixel(1.0));
    EXPECT_EQ(image.at(busy, top + 70), viridisPixel(1.0));
    EXPECT_EQ(image.at(busy, top + 90), viridisPixel(0.0));
    EXPECT_EQ(image.at(busy - 61, top + 10), viridisPixel(0.0));
}

// The frequency axis' labels, measured in the picture's font, stay apart and in
// the picture: over the whole band, and where a fine sweep lies among points a
// MHz apart (whose round MHz then fall a column or two apart).
TEST(ZarnlogOccupancy, FrequencyLabelsKeepApartWhereverThePlacesBunch) {
    std::vector<uint32_t> band, bunched;
    for (uint32_t hz = 869040000; hz <= 893970000; hz += 30000) band.push_back(hz);
    for (uint32_t mhz = 869; mhz <= 894; ++mhz) bunched.push_back(mhz * 1000000 + 500000);
    for (uint32_t k = 0; k < 400; ++k) bunched.push_back(881000000 + 1250 * k);
    std::sort(bunched.begin(), bunched.end());
    plot::Canvas canvas(20);
    const auto width = [&](const std::string& text) { return static_cast<int>(canvas.dc.GetTextExtent(text).cx); };
    for (const auto* places : {&band, &bunched}) {
        const std::vector<FrequencyLabel> labels = frequencyLabels(*places, width);
        EXPECT_GE(labels.size(), 2u);
        for (size_t i = 0; i < labels.size(); ++i) {
            EXPECT_TRUE(labels[i].left >= 0 && labels[i].right <= plot::kWidth) << labels[i].text;
            if (i) {
                EXPECT_GT(labels[i].left, labels[i - 1].right) << labels[i].text << " over " << labels[i - 1].text;
            }
        }
    }
}

TEST(ZarnlogOccupancy, MistakesOnTheCommandLineAreUsageErrors) {
    TempFolder dir;
    const std::string log = hourOfSweeps(dir);
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"occupancy", log, "--threshold", "-151"}, "--threshold '-151' dBm is outside -150..+30 dBm"},
        {{"occupancy", log, "--threshold", "noise"}, "--threshold 'noise' is not a level in dBm"},
        {{"occupancy", log, "--period", "0"}, "--period '0': a period is 1 s to a day"},
        {{"occupancy", log, "--period", "2d"}, "--period '2d' is not a period"},
        {{"occupancy", log, "-o", dir.file("occ.txt")}, "occupancy writes .csv or .png"},
        {{"occupancy", log, "--db", "-100:-50"}, "occupancy takes no --db"},
        {{"plot", log, "-o", dir.file("p.png"), "--threshold", "-90"}, "plot takes no --threshold"},
    };
    for (const auto& c : cases) {
        const Outcome o = zarnlog(c.args);
        EXPECT_EQ(o.status, 2) << c.says;
        EXPECT_EQ(o.err.rfind("zarnlog: " + c.says, 0), 0u) << o.err;
    }
}

}  // namespace
}  // namespace zarn::testing
