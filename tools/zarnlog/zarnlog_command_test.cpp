#include "tools/zarnlog/zarnlog_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/gdi/golden.h"
#include "recording/synthetic_log.h"
#include "tools/zarnlog/zarnlog_test_support.h"

using namespace zarn;
namespace fs = std::filesystem;

namespace {

using zarn::testing::Outcome;
using zarn::testing::readText;
using zarn::testing::zarnlog;

using Folder = zarn::testing::TempFolder;

void writeSurvey(const std::string& path) {
    SyntheticLog log(path);
    for (int s = 0; s < 4; ++s) {
        if (s == 2) log.note("Marker #1");
        log.sweep(0, 0, 833, [&](uint16_t o) { return int16_t(o == 417 ? -880 : -1760 + s); });
    }
    log.singleChannel(384, -1000, 3250, -1200);
    ASSERT_TRUE(log.ok());
}

void cutTo(const std::string& path, size_t size) {
    std::string bytes = readText(path);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<long>(std::min(size, bytes.size())));
}

}  // namespace

TEST(ZarnlogCommand, HelpVersionAndBadCommandLines) {
    for (const char* help : {"--help", "-h"}) {
        const Outcome r = zarnlog({"csv", help, "a.zrn"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("Usage: zarnlog", 0), 0u) << help;
    }
    const Outcome version = zarnlog({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("zarnlog ") && version.out.size() > 9) << version.out;
    const struct { std::vector<std::string> args; const char* says; } bad[] = {
        {{}, "no command"},
        {{"show", "a.zrn"}, "unknown command show"},
        {{"info"}, "info needs a log file"},
        {{"plot", "a.zrn"}, "plot needs -o"},
        {{"csv", "a.zrn", "--fast"}, "unknown option '--fast'"},
        {{"csv", "a.zrn", "-q"}, "unknown option '-q'"},
        {{"csv", "a.zrn", "-o"}, "option '--output' needs a value"},
        {{"plot", "a.zrn", "--output"}, "option '--output' needs a value"},
        {{"info", "a.zrn", "b.zrn"}, "unexpected b.zrn"},
        {{"info", "a.zrn", "-o", "x"}, "info writes to standard output"},
    };
    for (const auto& c : bad) {
        const Outcome r = zarnlog(c.args);
        EXPECT_EQ(r.status, 2) << c.says;
        EXPECT_EQ(r.err.rfind(std::string("zarnlog: ") + c.says, 0), 0u) << r.err;
        EXPECT_NE(r.err.find("Usage: zarnlog"), std::string::npos) << c.says;
        EXPECT_EQ(r.out, "") << c.says;
    }
}

TEST(ZarnlogCommand, InfoNamesCountsTimesAndNotes) {
    Folder dir;
    writeSurvey(dir.file("s.zrn"));
    const Outcome r = zarnlog({"info", dir.file("s.zrn")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "version: 1.00\nPCS raster: 50 kHz\nrecords: 5\n  216 single channel: 1\n  218 spectrum: 4\n"
              "first: 2004-07-09T14:00:00\nlast: 2004-07-09T14:00:04\nnotes: 1\n  2004-07-09T14:00:02 Marker #1\n");
}

TEST(ZarnlogCommand, AMissingFileOrAWrongHeaderFails) {
    Folder dir;
    EXPECT_EQ(zarnlog({"info", dir.file("none.zrn")}).status, 1);
    std::ofstream(dir.file("text.zrn")) << "hello, this is not a log\n";
    const Outcome r = zarnlog({"csv", dir.file("text.zrn")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not a Zarn log"), std::string::npos);
    writeSurvey(dir.file("short.zrn"));
    cutTo(dir.file("short.zrn"), 9);
    EXPECT_EQ(zarnlog({"plot", dir.file("short.zrn"), "-o", dir.file("o.png")}).status, 1);
    EXPECT_FALSE(fs::exists(dir.file("o.png")));
}

// A card pulled mid-write: the cut record is named by its offset, the whole ones are exported.
TEST(ZarnlogCommand, ATruncatedLogKeepsItsWholeRecordsAndSaysWhere) {
    Folder dir;
    const std::string log = dir.file("cut.zrn");
    writeSurvey(log);
    const size_t sweepRecord = 11 + 2 + 1 + 5 + 4 * 833;
    const size_t third = 15 + 2 * sweepRecord;
    cutTo(log, third + 100);
    const Outcome csv = zarnlog({"csv", log, "-o", dir.path.string()});
    EXPECT_EQ(csv.status, 0);
    EXPECT_NE(csv.err.find("bad record at byte " + std::to_string(third)), std::string::npos) << csv.err;
    EXPECT_NE(csv.err.find("skipped 100 bytes"), std::string::npos) << csv.err;
    const std::string spectrum = readText(dir.file("cut-spectrum.csv"));
    EXPECT_EQ(std::count(spectrum.begin(), spectrum.end(), '\n'), 2);
    EXPECT_FALSE(fs::exists(dir.file("cut-single.csv")));
    EXPECT_EQ(zarnlog({"info", log}).status, 0);
    const Outcome plot = zarnlog({"plot", log, "-o", dir.file("cut.png")});
    EXPECT_EQ(plot.status, 0) << plot.err;
    Surface image;
    ASSERT_TRUE(readPng(dir.file("cut.png"), image));
    EXPECT_EQ(image.width, 800);
}

// Two PCS servers trade the lead halfway; a third is never the strongest. The
// picture draws a line for each leader (the first blue, the second orange),
// above the other while it leads, and none for the third (green).
TEST(ZarnlogCommand, PlotDrawsTheStrongestServersOfABestServersLog) {
    Folder dir;
    const std::string log = dir.file("servers.zrn");
    {
        SyntheticLog servers(log);
        for (int i = 0; i < 40; ++i)
            servers.bestServers(1, i < 20 ? std::vector<ServerEntry>{{3245, -60}, {3300, -70}, {3400, -80}}
                                          : std::vector<ServerEntry>{{3300, -55}, {3245, -75}, {3400, -85}});
        ASSERT_TRUE(servers.ok());
    }
    const Outcome plot = zarnlog({"plot", log, "-o", dir.file("servers.png")});
    ASSERT_EQ(plot.status, 0) << plot.err;
    Surface image;
    ASSERT_TRUE(readPng(dir.file("servers.png"), image));
    ASSERT_EQ(image.height, 22 + 22 + 220 + 34);
    const int plotTop = 44, left = 70, width = 620;
    const auto topRow = [&](uint32_t colour, int x0, int x1) {
        for (int y = plotTop; y < plotTop + 220; ++y)
            for (int x = x0; x < x1; ++x)
                if ((image.at(x, y) & 0xFFFFFF) == colour) return y;
        return -1;
    };
    const uint32_t first = 0x1f77b4, second = 0xff7f0e, never = 0x2ca02c;
    const int a0 = topRow(first, left + 20, left + 200), b0 = topRow(second, left + 20, left + 200);
    const int a1 = topRow(first, left + width - 200, left + width - 20), b1 = topRow(second, left + width - 200, left + width - 20);
    ASSERT_GT(a0, 0);
    ASSERT_GT(b1, 0);
    EXPECT_LT(a0, b0);
    EXPECT_LT(b1, a1);
    EXPECT_EQ(topRow(never, 0, image.width), -1);
}

TEST(ZarnlogCommand, CsvGoesBesideTheLogByDefaultAndListsItsFiles) {
    Folder dir;
    writeSurvey(dir.file("survey.zrn"));
    const Outcome r = zarnlog({"csv", dir.file("survey.zrn")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, dir.file("survey-spectrum.csv") + "\n" + dir.file("survey-notes.csv") + "\n" +
                         dir.file("survey-single.csv") + "\n");
    const Outcome made = zarnlog({"csv", dir.file("survey.zrn"), "-o", dir.file("new/folder/")});
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.out.find(dir.file("new/folder/survey-single.csv") + "\n"), std::string::npos) << made.out;
    EXPECT_EQ(readText(dir.file("new/folder/survey-spectrum.csv")), readText(dir.file("survey-spectrum.csv")));
}

// A log overwritten in the middle: its later records all come back, the stretch is named and counted.
TEST(ZarnlogCommand, ALogDamagedInTheMiddleLosesOnlyTheDamagedBytes) {
    Folder dir;
    const std::string log = dir.file("hit.zrn");
    writeSurvey(log);
    const Outcome whole = zarnlog({"csv", log, "-o", dir.file("whole")});
    ASSERT_EQ(whole.status, 0);
    const size_t sweepRecord = 11 + 2 + 1 + 5 + 4 * 833;
    std::string bytes = readText(log);
    std::fill_n(bytes.begin() + 15 + sweepRecord + 5, 5000, '\xAA');  // from the 2nd sweep's time stamp into the 3rd sweep
    std::ofstream(log, std::ios::binary | std::ios::trunc) << bytes;
    const Outcome csv = zarnlog({"csv", log, "-o", dir.file("hit")});
    EXPECT_EQ(csv.status, 0);
    const std::string stretch = "bad record at byte " + std::to_string(15 + sweepRecord) + " (";
    EXPECT_NE(csv.err.find(stretch), std::string::npos) << csv.err;
    EXPECT_NE(csv.err.find("skipped " + std::to_string(2 * sweepRecord + 9) + " bytes"), std::string::npos) << csv.err;
    const std::string before = readText(dir.file("whole/hit-spectrum.csv")), after = readText(dir.file("hit/hit-spectrum.csv"));
    const auto rows = [](const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    };
    const auto all = rows(before);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(rows(after), (std::vector<std::string>{all[0], all[3]}));
    EXPECT_EQ(readText(dir.file("hit/hit-single.csv")), readText(dir.file("whole/hit-single.csv")));
    const Outcome info = zarnlog({"info", log});
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("records: 3\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("damaged: 1 stretch, " + std::to_string(2 * sweepRecord + 9) + " bytes skipped\n"), std::string::npos)
        << info.out;
}

TEST(ZarnlogCommand, InfoEscapesNotesAndNamesAnUnknownRaster) {
    Folder dir;
    const std::string log = dir.file("odd.zrn");
    {
        SyntheticLog survey(log);
        survey.note("\x1b[2J\rgone\\ caf\xE9");
        survey.singleChannel(384, -1000, 3250, -1200);
        ASSERT_TRUE(survey.ok());
    }
    std::string bytes = readText(log);
    bytes[14] = 7;
    std::ofstream(log, std::ios::binary | std::ios::trunc) << bytes;
    const Outcome info = zarnlog({"info", log});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("PCS raster: unknown (header byte 7)\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("  2004-07-09T14:00:00 \\x1b[2J\\x0dgone\\\\ caf\u00e9\n"), std::string::npos) << info.out;
    const Outcome csv = zarnlog({"csv", log});
    EXPECT_EQ(csv.status, 0);
    EXPECT_NE(csv.err.find("unknown PCS raster"), std::string::npos);
    EXPECT_NE(readText(dir.file("odd-single.csv")).find(",384,881.52,-62.5,,1962.50,-75.0\n"), std::string::npos);
}
