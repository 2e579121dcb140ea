#include "tools/zarnlog/zarnlog_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/gdi/golden.h"
#include "recording/synthetic_log.h"

using namespace zarn;
namespace fs = std::filesystem;

namespace {

struct Folder {
    Folder() : path(fs::temp_directory_path() / ("zarnlog-cmd-" + std::to_string(getpid()) + "-" + std::to_string(n++))) {
        fs::create_directories(path);
    }
    ~Folder() { fs::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
    fs::path path;
    static inline int n = 0;
};

struct Outcome {
    int status;
    std::string out, err;
};

Outcome zarnlog(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = runZarnlog(args, out, err);
    return {status, out.str(), err.str()};
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

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

TEST(ZarnlogCommand, HelpAndBadCommandLines) {
    const Outcome help = zarnlog({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: zarnlog"), std::string::npos);
    const std::vector<std::vector<std::string>> bad = {
        {}, {"show", "a.zrn"}, {"info"}, {"plot", "a.zrn"}, {"csv", "a.zrn", "--fast"}, {"info", "a.zrn", "b.zrn"}};
    for (const auto& args : bad) {
        const Outcome r = zarnlog(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(r.err.find("zarnlog: "), std::string::npos);
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
    EXPECT_NE(csv.err.find("the 2 records before it are kept"), std::string::npos) << csv.err;
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

TEST(ZarnlogCommand, CsvGoesBesideTheLogByDefaultAndListsItsFiles) {
    Folder dir;
    writeSurvey(dir.file("survey.zrn"));
    const Outcome r = zarnlog({"csv", dir.file("survey.zrn")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, dir.file("survey-spectrum.csv") + "\n" + dir.file("survey-notes.csv") + "\n" +
                         dir.file("survey-single.csv") + "\n");
    EXPECT_EQ(zarnlog({"csv", dir.file("survey.zrn"), "-o", dir.file("no/such/folder")}).status, 1);
}
