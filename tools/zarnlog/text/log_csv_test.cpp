#include "tools/zarnlog/text/log_csv.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "recording/synthetic_log.h"

using namespace zarn;
namespace fs = std::filesystem;

namespace {

std::string tempPath(const std::string& name) {
    return (fs::temp_directory_path() / ("zarnlog-" + std::to_string(getpid()) + "-" + name)).string();
}

// Every CSV of a log, by kind.
std::map<CsvKind, std::string> csvOf(const std::string& path) {
    LogReader reader;
    LogHeader header;
    EXPECT_TRUE(reader.open(path) && reader.readHeader(header)) << reader.problem();
    std::map<CsvKind, std::string> out;
    EXPECT_TRUE(writeCsv(reader, header, [&](CsvKind kind, std::string_view text) { return out[kind] += text, true; }));
    fs::remove(path);
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::vector<std::string> split(const std::string& line, const std::string& by) {
    std::vector<std::string> out;
    size_t at = 0;
    for (size_t next; (next = line.find(by, at)) != std::string::npos; at = next + by.size())
        out.push_back(line.substr(at, next - at));
    out.push_back(line.substr(at));
    return out;
}

// '9' in the pattern stands for any digit; everything else must match exactly.
bool matchesDigitPattern(const std::string& text, const std::string& pattern) {
    if (text.size() != pattern.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == '9' ? !digit : text[i] != pattern[i]) return false;
    }
    return true;
}

int16_t sweepLevel(uint16_t offset, int sweep) { return static_cast<int16_t>(-1700 + offset % 37 * 9 - sweep * 3); }

}  // namespace

TEST(LogCsv, DecibelsAndMegahertzAreExact) {
    const struct { int16_t level; const char* text; } dbm[] = {
        {-1000, "-62.5"}, {-2080, "-130.0"}, {1, "0.0625"}, {-1, "-0.0625"}, {0, "0.0"}, {-1208, "-75.5"}, {-1703, "-106.4375"}};
    for (const auto& c : dbm) {
        std::string s;
        appendDbm(s, c.level);
        EXPECT_EQ(s, c.text) << c.level;
    }
    const struct { uint32_t hz; const char* text; } mhz[] = {
        {881520000, "881.52"}, {1930000000, "1930.00"}, {869010000, "869.01"}, {1962525000, "1962.525"}, {1000001, "1.000001"}};
    for (const auto& c : mhz) {
        std::string s;
        appendMegahertz(s, c.hz);
        EXPECT_EQ(s, c.text) << c.hz;
    }
}

// The layout heat-map tools for rtl_power read: date, time, Hz low, Hz high, Hz step, samples, dB...
TEST(LogCsv, SpectrumReadsBackInTheRtlPowerLayout) {
    const std::string path = tempPath("rtl.zrn");
    {
        SyntheticLog log(path, 200000);
        for (int s = 0; s < 3; ++s) log.sweep(0, 10, 120, [&](uint16_t o) { return sweepLevel(o, s); });
        log.note("Marker #1");
        log.sweep(1, 20, 50, [](uint16_t o) { return sweepLevel(o, 9); });
        ASSERT_TRUE(log.ok());
    }
    const auto csv = csvOf(path);
    const auto rows = lines(csv.at(CsvKind::Spectrum));
    ASSERT_EQ(rows.size(), 4u);
    for (size_t r = 0; r < rows.size(); ++r) {
        const auto f = split(rows[r], ", ");
        ASSERT_GE(f.size(), 7u);
        EXPECT_TRUE(matchesDigitPattern(f[0], "9999-99-99")) << f[0];
        EXPECT_TRUE(matchesDigitPattern(f[1], "99:99:99")) << f[1];
        const long long low = std::stoll(f[2]), high = std::stoll(f[3]);
        const double step = std::stod(f[4]);
        EXPECT_EQ(std::stoi(f[5]), 1);
        const size_t values = f.size() - 6;
        EXPECT_DOUBLE_EQ((high - low) / step, static_cast<double>(values)) << r;
        const bool pcs = r == 3;
        EXPECT_EQ(low, pcs ? 1930200000 : 869310000) << r;
        EXPECT_EQ(step, pcs ? 200000.0 : 30000.0) << r;
        EXPECT_EQ(values, pcs ? 50u : 120u) << r;
        for (size_t j = 0; j < values; ++j) {
            const uint16_t offset = static_cast<uint16_t>(pcs ? 20 + 20 * j : 10 + j);
            ASSERT_EQ(std::stod(f[6 + j]), sweepLevel(offset, pcs ? 9 : static_cast<int>(r)) / 16.0) << r << " " << j;
        }
    }
    EXPECT_EQ(split(rows[1], ", ")[1], "14:00:01");
    const auto notes = lines(csv.at(CsvKind::Notes));
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[1], "2004-07-09T14:00:03,218,1512,\"Marker #1\"");
}

TEST(LogCsv, PointsTheSweepDidNotCaptureAreNan) {
    const std::string path = tempPath("nan.zrn");
    {
        SyntheticLog log(path, 50000);
        log.sweep(0, 0, 4, [](uint16_t) { return int16_t(-1600); });
        log.sweep(0, 0, 4, [](uint16_t o) { return o == 2 ? SyntheticLog::kNotCaptured : int16_t(-1600); });
        ASSERT_TRUE(log.ok());
    }
    const auto rows = lines(csvOf(path).at(CsvKind::Spectrum));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].substr(rows[0].find(", 1, ")), ", 1, -100.0, -100.0, -100.0, -100.0");
    EXPECT_EQ(rows[1].substr(rows[1].find(", 1, ")), ", 1, -100.0, -100.0, nan, -100.0");
}

TEST(LogCsv, EachOtherTypeHasAHeaderAndRowsInPhysicalUnits) {
    const std::string path = tempPath("kinds.zrn");
    {
        SyntheticLog log(path, 30000);
        log.note("Marker #3");
        log.singleChannel(1023, -1000, 3250, -1208);
        log.table({{0, 384, -900}, {1, 25, -1100}});
        log.bestServers(1, {{3250, -60}});
        log.frame(15, {0x01, 0x11, 0xFC});
        ASSERT_TRUE(log.ok());
    }
    const auto csv = csvOf(path);
    EXPECT_EQ(lines(csv.at(CsvKind::SingleChannel)),
              (std::vector<std::string>{"time,note,cellular_channel,cellular_mhz,cellular_dbm,pcs_channel,pcs_mhz,pcs_dbm",
                                        "2004-07-09T14:00:00,\"Marker #3\",1023,870.00,-62.5,1082,1962.50,-75.5"}));
    EXPECT_EQ(lines(csv.at(CsvKind::ChannelTable)),
              (std::vector<std::string>{"time,note,slot,band,channel,mhz,dbm",
                                        "2004-07-09T14:00:01,\"\",0,0,384,881.52,-56.25",
                                        "2004-07-09T14:00:01,\"\",1,1,25,1930.77,-68.75"}));
    const auto servers = lines(csv.at(CsvKind::BestServers));
    ASSERT_EQ(servers.size(), 11u);
    EXPECT_EQ(servers[0], "time,note,rank,mhz,channel,dbm");
    EXPECT_EQ(servers[1], "2004-07-09T14:00:02,\"\",1,1962.50,1082,-60");
    EXPECT_EQ(servers[10], "2004-07-09T14:00:02,\"\",10,1930.00,0,-130");
    EXPECT_EQ(lines(csv.at(CsvKind::Frames)),
              (std::vector<std::string>{"time,note,type,payload", "2004-07-09T14:00:03,\"\",15,0111fc"}));
    EXPECT_EQ(csv.count(CsvKind::Spectrum), 0u);
}

// Notes are bytes of the device's code page: one UTF-8 field each, quotes doubled, controls blank.
TEST(LogCsv, NotesWithQuotesControlsAndCodePageBytesStayOneUtf8Field) {
    const struct { const char* note; const char* field; } cases[] = {
        {"a \"b\",\nc", "\"a \"\"b\"\", c\""},
        {"caf\xE9 \x80 5\xB0", "\"caf\u00e9 \u20ac 5\u00b0\""},
        {"\x1b[31mred\r", "\" [31mred \""},
        {"\x81\x9f", "\"\ufffd\u0178\""},
    };
    const std::string path = tempPath("quote.zrn");
    {
        SyntheticLog log(path);
        for (const auto& c : cases) {
            log.note(c.note);
            log.frame(14, {});
        }
        ASSERT_TRUE(log.ok());
    }
    const auto rows = lines(csvOf(path).at(CsvKind::Frames));
    ASSERT_EQ(rows.size(), 5u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(rows[i + 1], "2004-07-09T14:00:0" + std::to_string(i) + "," + cases[i].field + ",14,");
}

// A record whose offsets run past the band's last one (832), or start past it: nothing beyond the band is a level.
TEST(LogCsv, SweepEntriesPastTheBandAreNan) {
    const std::string path = tempPath("band.zrn");
    {
        SyntheticLog log(path);
        log.sweep(0, 831, 3, [](uint16_t o) { return int16_t(o <= 832 ? -1600 : 32767); });
        log.sweep(0, 900, 2, [](uint16_t) { return int16_t(32767); });
        ASSERT_TRUE(log.ok());
    }
    EXPECT_EQ(lines(csvOf(path).at(CsvKind::Spectrum)),
              (std::vector<std::string>{"2004-07-09, 14:00:00, 893940000, 894030000, 30000.00, 1, -100.0, -100.0, nan",
                                        "2004-07-09, 14:00:01, 896010000, 896070000, 30000.00, 1, nan, nan"}));
}
