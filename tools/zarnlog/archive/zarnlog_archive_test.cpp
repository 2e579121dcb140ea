// zarnlog push, db and grid against a real PostgreSQL with PostGIS: the archive's values
// are zarnlog csv's, a push again or a log pushed while it grows stores each record once,
// the grid sums up by the rules the programs share, and bad input and faults mid-push
// leave whole batches and a clear message.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <thread>

#include "recording/log_reader.h"
#include "recording/synthetic_log.h"
#include "survey/grid_cell.h"
#include "survey/level_statistics.h"
#include "survey/locate/simulated_drive.h"
#include "survey/synthetic_track.h"
#include "outputs/archive/archive_connection.h"
#include "outputs/archive/archive_schema.h"
#include "outputs/archive/log_pusher.h"
#include "survey/track.h"
#include "testing/archive_version1.h"
#include "testing/servers/free_port.h"
#include "testing/servers/postgres_server.h"
#include "testing/servers/run_program.h"
#include "testing/servers/wait_until.h"
#include "tools/zarnlog/zarnlog_test_support.h"

using namespace zarn;
namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;
using zarn::testing::Outcome;
using zarn::testing::PostgresServer;
using zarn::testing::readText;
using zarn::testing::zarnlog;
using Folder = zarn::testing::TempFolder;
using Rows = std::vector<std::vector<std::string>>;

const std::string kZarnlog = ZARNLOG_PATH;

// The quoted fields of a CSV line.
std::vector<std::string> csvFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') fields.back() += c, ++i;
        else if (c == '"') quoted = !quoted;
        else if (c == ',' && !quoted) fields.emplace_back();
        else fields.back() += c;
    }
    for (std::string& f : fields) f.erase(0, f.find_first_not_of(' '));
    return fields;
}

std::vector<std::vector<std::string>> csvRows(const std::string& path, bool header = true) {
    std::ifstream in(path);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) rows.push_back(csvFields(line));
    if (header && !rows.empty()) rows.erase(rows.begin());
    return rows;
}

std::string numberText(const std::string& text, const char* format) {
    if (text.empty()) return "";
    char out[48];
    std::snprintf(out, sizeof out, format, std::stod(text));
    return out;
}

std::string decimals(double value, int n) {
    char out[48];
    std::snprintf(out, sizeof out, "%.*f", n, value);
    return out;
}

// A reading as both sides give it: band, channel, MHz, dBm; empty where not known.
std::string reading(const std::string& band, const std::string& channel, const std::string& mhz,
                    const std::string& dbm) {
    return band + "|" + channel + "|" + numberText(mhz, "%.6f") + "|" + numberText(dbm, "%.4f");
}

// The readings of each record of a kind, in record order, each record's sorted.
using Readings = std::vector<std::vector<std::string>>;

std::string bandOfMhz(double mhz) { return mhz < 1000 ? "800" : "1900"; }

// What zarnlog csv wrote, by kind.
std::map<std::string, Readings> csvReadings(const std::string& dir, const std::string& stem) {
    std::map<std::string, Readings> out;
    for (const auto& row : csvRows(dir + "/" + stem + "-single.csv"))
        out["single"].push_back({reading("800", row[2], row[3], row[4]), reading("1900", row[5], row[6], row[7])});
    for (const auto& row : csvRows(dir + "/" + stem + "-table.csv")) {
        if (row[2] == "0") out["table"].emplace_back();
        out["table"].back().push_back(reading(row[3] == "0" ? "800" : "1900", row[4], row[5], row[6]));
    }
    for (const auto& row : csvRows(dir + "/" + stem + "-servers.csv")) {
        if (row[2] == "1") out["servers"].emplace_back();
        out["servers"].back().push_back(reading(bandOfMhz(std::stod(row[3])), row[4], row[3], row[5]));
    }
    for (const auto& row : csvRows(dir + "/" + stem + "-spectrum.csv", false)) {
        auto& sweep = out["spectrum"].emplace_back();
        const double low = std::stod(row[2]), step = std::stod(row[4]);
        for (size_t i = 6; i < row.size(); ++i) {
            if (row[i] == "nan") continue;
            const double mhz = (low + step * static_cast<double>(i - 6)) / 1e6;
            sweep.push_back(reading(bandOfMhz(mhz), "", std::to_string(mhz), row[i]));
        }
    }
    for (auto& [kind, records] : out)
        for (auto& r : records) std::sort(r.begin(), r.end());
    return out;
}

// What zarn.readings holds, by kind.
std::map<std::string, Readings> archiveReadings(const PostgresServer& db, const std::string& database) {
    const auto r = db.sql(database, "SELECT kind, record_no, band, channel, mhz, dbm FROM zarn.readings "
                                    "ORDER BY kind, record_no");
    EXPECT_TRUE(r.ok()) << r.error;
    std::map<std::string, Readings> out;
    std::string last;
    for (const auto& row : r.rows) {
        const auto text = [&](size_t i) { return row[i].value_or(""); };
        auto& records = out[text(0)];
        if (records.empty() || text(1) != last) records.emplace_back();
        last = text(1);
        records.back().push_back(reading(text(2), text(3), text(4), text(5)));
    }
    for (auto& [kind, records] : out)
        for (auto& rec : records) std::sort(rec.begin(), rec.end());
    return out;
}

// Every kind of record, notes of every kind of byte, on a track that leaves some out.
constexpr int kSeconds = 120;
Place along(double s) { return {47.37 + 2e-5 * s, 8.54 + 3e-5 * s}; }

void writeSurvey(const std::string& path, int16_t offset = 0) {
    SyntheticLog log(path, 50000);
    for (int s = 0; s < kSeconds; ++s) {
        const auto level = static_cast<int16_t>(-1000 - 5 * s + offset);
        if (s == 3) log.note("it's \"q\" a\\b\x01\x7f\xe9\xff");
        if (s == 50) log.note("O'Brien; DROP TABLE x;--");
        switch (s % 6) {
        case 0:
        case 1: log.singleChannel(384, level, 3250, -1900); break;
        case 2: log.table({{0, 384, level}, {1, 25, -1100}, {0, 991, -1300}}); break;
        case 3:
            log.sweep(0, 400, 40, [&](uint16_t o) { return o == 405 ? SyntheticLog::kNotCaptured : int16_t(level - o); });
            break;
        case 4: log.bestServers(0, {{417, static_cast<int16_t>(-55 - s % 9)}, {34, -80}}); break;
        case 5: log.sweep(1, 100, 30, [&](uint16_t o) { return int16_t(-1800 + o); }); break;
        }
    }
    log.frame(14, {1, 2, 3});
    ASSERT_TRUE(log.ok());
}

// A stretch of record `n` overwritten, as a card's bad block.
void damageRecord(const std::string& path, int n) {
    LogReader reader;
    LogHeader header;
    ASSERT_TRUE(reader.open(path) && reader.readHeader(header));
    size_t offset = 0;
    int i = 0;
    forEachRecord(reader, [&](const LogRecord& r) { return i++ == n ? (offset = r.offset, false) : true; });
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(offset));
    f.write("YYYYYYYY", 8);
}

// A result's rows as text (NULL as "NULL"), sorted.
Rows sortedTexts(const zarn::testing::SqlResult& r) {
    EXPECT_TRUE(r.ok()) << r.error;
    Rows rows;
    for (const auto& row : r.rows) {
        auto& out = rows.emplace_back();
        for (const auto& cell : row) out.push_back(cell.value_or("NULL"));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

class ZarnlogArchive : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new PostgresServer;
        std::string error;
        ASSERT_TRUE(server->start(error)) << error;
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    static std::string database(const std::string& name, PostgresServer::Extensions e = PostgresServer::WithPostgis) {
        std::string error;
        EXPECT_TRUE(server->createDatabase(name, e, error)) << error;
        return server->conninfo(name);
    }
    static std::string count(const std::string& db, const std::string& what) {
        return server->scalar(db, "SELECT count(*) FROM " + what);
    }

    static inline PostgresServer* server = nullptr;
    Folder dir;
};

}  // namespace

TEST_F(ZarnlogArchive, TheArchiveHoldsTheCsvsValuesOnceHoweverOftenAndInWhatStepsALogIsPushed) {
    const std::string log = dir.file("survey.zrn");
    ASSERT_NO_FATAL_FAILURE(writeSurvey(log));
    ASSERT_NO_FATAL_FAILURE(damageRecord(log, 20));
    ASSERT_TRUE(writeSyntheticTrack(dir.file("survey.gpx"), 0, kSeconds - 20, 1,
                                    [](long long s) { return std::optional(along(static_cast<double>(s))); }));
    const std::string archive = database("team");
    const std::string site = "North \"A\" O'Brien \\ mast\t1";

    const Outcome first = zarnlog({"push", log, "--archive", archive, "--site", site});
    ASSERT_EQ(first.status, 0) << first.err;
    const Outcome csv = zarnlog({"csv", log, "-o", dir.file("csv")});
    ASSERT_EQ(csv.status, 0) << csv.err;
    const size_t records = std::stoul(server->scalar("team", "SELECT record_count FROM zarn.surveys"));
    EXPECT_NE(first.err.find("pushed " + std::to_string(records) + " records (" + std::to_string(records) +
                             " new) of " + log),
              std::string::npos)
        << first.err;
    EXPECT_NE(first.err.find("; 21 not placed; 1 damaged stretches"), std::string::npos) << first.err;

    // Every value of every kind is the CSV's, record by record.
    const auto expected = csvReadings(dir.file("csv"), "survey");
    ASSERT_EQ(expected.size(), 4u);
    EXPECT_EQ(archiveReadings(*server, "team"), expected);
    // The notes and the site as they were given, byte for byte where UTF-8 allows.
    const auto notes = csvRows(dir.file("csv/survey-notes.csv"));
    const auto stored = server->sql("team", "SELECT n.note, r.byte_offset, n.record_type FROM zarn.notes n "
                                            "JOIN zarn.records r USING (survey, record_no) ORDER BY record_no");
    ASSERT_EQ(stored.rows.size(), notes.size());
    for (size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(stored.rows[i][0].value_or(""), notes[i][3]);
        EXPECT_EQ(stored.rows[i][1].value_or(""), notes[i][2]);
        EXPECT_EQ(stored.rows[i][2].value_or(""), notes[i][1]);
    }
    EXPECT_EQ(server->scalar("team", "SELECT site FROM zarn.surveys"), site);
    EXPECT_EQ(count("team", "zarn.records"), std::to_string(records));
    EXPECT_EQ(server->scalar("team", "SELECT max(record_no) + 1 FROM zarn.records"), std::to_string(records));

    // Again, and as a copy under another name: nothing new, the same survey.
    fs::copy_file(log, dir.file("copy.zrn"));
    fs::copy_file(dir.file("survey.gpx"), dir.file("copy.gpx"));
    for (const std::string& again : {log, dir.file("copy.zrn")}) {
        const Outcome o = zarnlog({"push", again, "--archive", archive});
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_NE(o.err.find("(0 new)"), std::string::npos) << o.err;
    }
    EXPECT_EQ(count("team", "zarn.logs"), "1");
    EXPECT_EQ(count("team", "zarn.records"), std::to_string(records));
    EXPECT_EQ(archiveReadings(*server, "team"), expected);

    // Grown in three steps, cut inside records, by one pusher as a recorder pushes it: the rows of one push.
    const std::string growing = dir.file("growing.zrn");
    const std::string grown = database("grown");
    Track track;
    std::string error;
    ASSERT_TRUE(readTrackFile(dir.file("survey.gpx"), track, error)) << error;
    const TrackJoin join(track, std::nullopt);
    TrackPlaces places(join);
    const auto pushInSteps = [&](const std::string& from, const std::string& archive, std::vector<size_t> cuts,
                                 size_t compactAfter) {
        ArchiveConnection db;
        int version = 0;
        ASSERT_TRUE(db.open(archive, "test", error) && prepareSchema(db, version, error)) << error;
        LogPusher pusher(db, growing, site, true);
        const std::string bytes = readText(from);
        for (size_t step = 0; step < cuts.size(); ++step) {
            std::ofstream(growing, std::ios::binary | std::ios::trunc) << bytes.substr(0, cuts[step]);
            PushProgress progress;
            ASSERT_TRUE(pusher.push(places, progress, error)) << error;
            EXPECT_EQ(progress.cutShort, cuts[step] < bytes.size());
            if (step == compactAfter) {
                ASSERT_EQ(zarnlog({"db", "compact", "--archive", archive}).status, 0);
            }
        }
    };
    const size_t size = fs::file_size(log);
    ASSERT_NO_FATAL_FAILURE(pushInSteps(log, grown, {size / 3 + 7, 2 * size / 3 + 11, size}, 99));
    const std::string everything = "SELECT record_no, byte_offset, time, type, note, ST_AsText(geom) FROM zarn.records "
                                   "ORDER BY record_no";
    // Summed in another order, a mean may differ in its last bit.
    const std::string hourly = "SELECT site, hour, mhz, samples, round(mean_dbm::numeric, 9), min_dbm, max_dbm, "
                               "p10_dbm, p50_dbm, p90_dbm FROM zarn.hourly ORDER BY site, hour, mhz";
    EXPECT_EQ(server->sql("grown", everything).rows, server->sql("team", everything).rows);
    EXPECT_EQ(archiveReadings(*server, "grown"), expected);
    EXPECT_EQ(server->sql("grown", hourly).rows, server->sql("team", hourly).rows);

    // A recorder's 40 minutes pushed 100 records at a time, the owner compacting after the 12th push
    // while the pusher goes on, and at the end: every record once, and the packs and hourly figures'
    // rows of one push.
    const std::string minutes = dir.file("minutes.zrn"), live = database("live"), whole = database("whole");
    ASSERT_TRUE(writeSingleChannelLog(minutes, 2400, 1));
    std::vector<size_t> cuts;
    const size_t header = static_cast<size_t>(kLogHeaderSize), body = fs::file_size(minutes) - header;
    for (size_t cut = 100; cut < 2400; cut += 100) cuts.push_back(header + cut * body / 2400 + body / 4800);
    cuts.push_back(header + body);
    ASSERT_NO_FATAL_FAILURE(pushInSteps(minutes, live, cuts, 11));
    ASSERT_EQ(zarnlog({"push", minutes, "--archive", whole, "--site", site}).status, 0);
    const std::string packs = "SELECT first_offset, records FROM zarn.packs ORDER BY first_offset";
    EXPECT_NE(server->sql("live", packs).rows, server->sql("whole", packs).rows);
    EXPECT_EQ(server->sql("live", hourly).rows, server->sql("whole", hourly).rows);
    const std::string bytes = "SELECT sum(pg_column_size(p.*)) FROM zarn.packs p";
    RecordProperty("live_pack_bytes_per_whole", std::to_string(std::stod(server->scalar("live", bytes)) /
                                                               std::stod(server->scalar("whole", bytes))));
    const Outcome compacted = zarnlog({"db", "compact", "--archive", live});
    ASSERT_EQ(compacted.status, 0) << compacted.err;
    EXPECT_EQ(compacted.out.find("compacted 0 hours"), std::string::npos) << compacted.out;
    EXPECT_EQ(server->sql("live", packs).rows, server->sql("whole", packs).rows);
    EXPECT_EQ(count("live", "zarn.hourly_figures"), count("whole", "zarn.hourly_figures"));
    EXPECT_EQ(server->sql("live", hourly).rows, server->sql("whole", hourly).rows);
    const std::string values = "SELECT record_no, byte_offset, time, dbm FROM zarn.records JOIN zarn.channel_readings "
                               "USING (survey, record_no) ORDER BY record_no, slot";
    EXPECT_EQ(server->sql("live", values).rows, server->sql("whole", values).rows);
}

// A copy with a damaged stretch goes first, a row of no log sits in the survey, then the intact log:
// it fills the gap around the row; a copy whose first record is damaged is named as the same records.
TEST_F(ZarnlogArchive, AForeignRowBlocksNothingAGapIsFilledAndACopyWithoutItsFirstRecordIsNamed) {
    const std::string log = dir.file("survey.zrn");
    ASSERT_NO_FATAL_FAILURE(writeSurvey(log));
    ASSERT_EQ(zarnlog({"csv", log, "-o", dir.file("csv")}).status, 0);
    const auto expected = csvReadings(dir.file("csv"), "survey");
    LogReader reader;
    LogHeader header;
    ASSERT_TRUE(reader.open(log) && reader.readHeader(header));
    std::vector<size_t> offsets;
    forEachRecord(reader, [&](const LogRecord& r) { return offsets.push_back(r.offset), true; });
    const std::string records = std::to_string(offsets.size());
    const std::string archive = database("faults");

    const std::string damaged = dir.file("damaged.zrn");
    fs::copy_file(log, damaged);
    for (int i = 0; i < 10; ++i) ASSERT_NO_FATAL_FAILURE(damageRecord(damaged, 20));
    const Outcome first = zarnlog({"push", damaged, "--archive", archive, "--site", "mast"});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.err.find("; 1 damaged stretches; the archive lacks the records in them"), std::string::npos)
        << first.err;
    // Where the log holds another record: no part of it.
    const std::string at = std::to_string(offsets[5]), survey = server->scalar("faults", "SELECT id FROM zarn.logs");
    server->scalar("faults", "SELECT zarn.make_month('2001-01-01'); INSERT INTO zarn.packs (survey, hour, first_offset, "
                             "last_offset, first_record_no, records, first_time, last_time, type, seconds) VALUES (" +
                                 survey + ", '2001-01-01', " + at + ", " + at +
                                 ", 1000000000, 1, '2001-01-01', '2001-01-01', 216, '{0}'); SELECT 1");

    // The intact log, pushed by a role that may only read and add, fills the gap around the row.
    std::string error;
    ASSERT_TRUE(server->createRole("filler", "fills gaps", error)) << error;
    server->scalar("faults", "GRANT USAGE ON SCHEMA zarn TO filler; GRANT SELECT, INSERT ON ALL TABLES IN SCHEMA zarn "
                             "TO filler; SELECT 1");
    setenv("PGPASSFILE", server->writePgpass("filler", "fills gaps").c_str(), 1);
    const Outcome intact = zarnlog({"push", log, "--archive", server->roleConninfo("filler", "faults"), "--site", "mast"});
    unsetenv("PGPASSFILE");
    ASSERT_EQ(intact.status, 0) << intact.err;
    EXPECT_NE(intact.err.find("pushed " + records + " records (10 new, 10 of them into gaps)"), std::string::npos)
        << intact.err;
    EXPECT_NE(intact.err.find("; 0 damaged stretches; the archive lacks none of its records"), std::string::npos)
        << intact.err;
    EXPECT_NE(intact.err.find("survey " + survey + " holds 1 records that are not this log's (the first: record_no 1000000000 at "
                              "byte " + std::to_string(offsets[5]) + ")"),
              std::string::npos)
        << intact.err;
    server->scalar("faults", "DELETE FROM zarn.packs WHERE first_record_no = 1000000000");
    const std::string numbered = "SELECT count(DISTINCT record_no) || ' ' || max(record_no) + 1 || ' ' || "
                                 "bool_and(byte_offset = (ARRAY[" + [&] {
                                     std::string list;
                                     for (size_t o : offsets) list += (list.empty() ? "" : ",") + std::to_string(o);
                                     return list;
                                 }() + "])[record_no + 1]) FROM zarn.records";
    // As the gap fill left it, and once the owner folded it into the packs.
    for (const bool compacted : {false, true}) {
        SCOPED_TRACE(compacted ? "compacted" : "as pushed");
        if (compacted) {
            const Outcome c = zarnlog({"db", "compact", "--archive", archive});
            ASSERT_EQ(c.status, 0) << c.err;
            EXPECT_NE(c.out.find("gaps filled: 1, damaged stretches filled: 1"), std::string::npos) << c.out;
            EXPECT_EQ(count("faults", "zarn.renumbered") + count("faults", "zarn.damaged_stretches"), "00");
        }
        EXPECT_EQ(archiveReadings(*server, "faults"), expected);
        EXPECT_EQ(server->scalar("faults", numbered), records + " " + records + " true");
        EXPECT_EQ(server->scalar("faults", "SELECT record_count || ' ' || damaged_stretches FROM zarn.surveys"),
                  records + " 0");
    }

    // Known by another first record: a survey of its own, said to be the same records.
    const std::string headless = dir.file("headless.zrn");
    fs::copy_file(log, headless);
    ASSERT_NO_FATAL_FAILURE(damageRecord(headless, 0));
    const Outcome twin = zarnlog({"push", headless, "--archive", archive, "--site", "mast"});
    ASSERT_EQ(twin.status, 0) << twin.err;
    EXPECT_NE(twin.err.find("its records match those of survey " + survey + " of the same site"), std::string::npos)
        << twin.err;
    EXPECT_NE(twin.err.find("the one whose first record lies at the lower byte offset"), std::string::npos) << twin.err;
    const std::string other = dir.file("other.zrn");
    ASSERT_NO_FATAL_FAILURE(writeSurvey(other, -40));
    const Outcome different = zarnlog({"push", other, "--archive", archive, "--site", "mast"});
    ASSERT_EQ(different.status, 0) << different.err;
    EXPECT_EQ(different.err.find("match"), std::string::npos) << different.err;
    EXPECT_EQ(count("faults", "zarn.logs"), "3");
}

TEST_F(ZarnlogArchive, AGridSumsEverySurveyOfTheChannelUpInTheDatabaseByTheSharedRules) {
    const std::string archive = database("grid");
    for (int n = 0; n < 2; ++n) {
        const std::string log = dir.file("drive" + std::to_string(n) + ".zrn");
        ASSERT_NO_FATAL_FAILURE(writeSurvey(log, static_cast<int16_t>(-40 * n)));
        ASSERT_TRUE(writeSyntheticTrack(dir.file("drive" + std::to_string(n) + ".gpx"), 0, kSeconds, 1,
                                        [n](long long s) { return std::optional(along(static_cast<double>(s) + n)); }));
        const Outcome o = zarnlog({"push", log, "--archive", archive, "--site", "site" + std::to_string(n)});
        ASSERT_EQ(o.status, 0) << o.err;
    }
    const Outcome grid = zarnlog({"grid", "--archive", archive, "--mhz", "881.52", "--cell", "25", "--min-samples",
                                  "6", "-o", dir.file("grid.csv")});
    ASSERT_EQ(grid.status, 0) << grid.err;
    EXPECT_EQ(grid.out, dir.file("grid.csv") + "\n");

    // The same figures made here from every placed reading of 881.52 MHz, through CellGrid and LevelStatistics.
    const auto placed = server->sql("grid", "SELECT ST_Y(geom), ST_X(geom), dbm, survey FROM zarn.readings "
                                            "WHERE geom IS NOT NULL AND round(mhz * 1e6) = 881520000");
    ASSERT_GT(placed.rows.size(), 100u);
    double south = 90, north = -90, west = 180, east = -180;
    for (const auto& row : placed.rows) {
        south = std::min(south, std::stod(*row[0])), north = std::max(north, std::stod(*row[0]));
        west = std::min(west, std::stod(*row[1])), east = std::max(east, std::stod(*row[1]));
    }
    CellGrid cells;
    std::string error;
    ASSERT_TRUE(cells.open(utmEpsgFor({(south + north) / 2, (west + east) / 2}), 25, error)) << error;
    struct Expected {
        LevelStatistics levels;
        std::set<std::string> surveys;
    };
    std::map<std::pair<long long, long long>, Expected> expected;
    for (const auto& row : placed.rows) {
        const auto cell = cells.cellOf({std::stod(*row[0]), std::stod(*row[1])});
        ASSERT_TRUE(cell);
        Expected& e = expected[{cell->column, cell->row}];
        e.levels.add(std::stod(*row[2]));
        e.surveys.insert(*row[3]);
    }
    EXPECT_NE(grid.err.find(" from 2 surveys;"), std::string::npos) << grid.err;
    EXPECT_EQ(readText(dir.file("grid.csv")).find('"'), std::string::npos) << "numbers bare";
    const auto written = csvRows(dir.file("grid.csv"));
    ASSERT_EQ(written.size(), expected.size());
    bool twoSurveys = false, few = false;
    for (const auto& row : written) {
        SCOPED_TRACE(row[0] + "," + row[1]);
        const auto found = expected.find({std::stoll(row[0]), std::stoll(row[1])});
        ASSERT_NE(found, expected.end());
        const LevelStatistics& l = found->second.levels;
        EXPECT_EQ(std::stoul(row[2]), l.count());
        EXPECT_EQ(std::stoul(row[3]), found->second.surveys.size());
        EXPECT_EQ(row[4], decimals(*l.mean(), 2)) << "a mean to 0.01 dB";
        EXPECT_EQ(std::stod(row[5]), *l.percentile(0.5));
        EXPECT_EQ(std::stod(row[6]), *l.percentile(0.1));
        EXPECT_EQ(std::stod(row[7]), *l.percentile(0.9));
        EXPECT_EQ(std::stod(row[8]), *l.min());
        EXPECT_EQ(std::stod(row[9]), *l.max());
        EXPECT_EQ(row[10], l.count() < 6 ? "1" : "0");
        const auto centre = cells.geometry({std::stoll(row[0]), std::stoll(row[1])})->centre;
        EXPECT_EQ(row[11], decimals(centre.lat, 7));
        EXPECT_EQ(row[12], decimals(centre.lon, 7));
        twoSurveys = twoSurveys || found->second.surveys.size() == 2;
        few = few || l.count() < 6;
    }
    EXPECT_TRUE(twoSurveys);
    EXPECT_TRUE(few);

    // Every format map writes, the cells as areas, all in the file named.
    for (const char* name : {"grid.kml", "grid.geojson"}) {
        const Outcome o = zarnlog({"grid", "--archive", archive, "--mhz", "881.52", "-o", dir.file(name)});
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.out, dir.file(name) + "\n");
        EXPECT_NE(readText(dir.file(name)).find(std::string(name).ends_with("kml") ? "<Polygon>" : "\"Polygon\""),
                  std::string::npos);
    }

    // One site, a window; a frequency nobody measured.
    const Outcome site = zarnlog({"grid", "--archive", archive, "--mhz", "881.52", "--site", "site1", "--from",
                                  "2004-07-09T14:00:30", "-o", dir.file("site1.gpkg")});
    ASSERT_EQ(site.status, 0) << site.err;
    EXPECT_NE(site.err.find(" from 1 survey;"), std::string::npos) << site.err;
    const Outcome none = zarnlog({"grid", "--archive", archive, "--mhz", "890.01", "-o", dir.file("none.kml")});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("no placed reading of 890.01 MHz"), std::string::npos) << none.err;
    EXPECT_FALSE(fs::exists(dir.file("none.kml")));
    const Outcome later = zarnlog({"grid", "--archive", archive, "--mhz", "881.52", "--from", "2030-01-01T00:00",
                                   "-o", dir.file("later.kml")});
    EXPECT_EQ(later.status, 1);
    EXPECT_NE(later.err.find("in that time; its placed records run from 2004-07-09T"), std::string::npos) << later.err;
}

// Through the archive's views locate reads what the log and its track give, to the digit.
TEST_F(ZarnlogArchive, LocateOverTheArchiveFindsWhatItFindsOverTheLogs) {
    const std::string archive = database("locate");
    DriveScene scene;
    scene.seed = 7;
    ASSERT_TRUE(writeDriveLog(simulateDrive(scene), dir.file("drive.zrn"), dir.file("drive.gpx")));
    ASSERT_EQ(zarnlog({"push", dir.file("drive.zrn"), "--archive", archive, "--site", "van"}).status, 0);

    const Outcome byLog = zarnlog({"locate", dir.file("drive.zrn"), "--mhz", "881.52"});
    ASSERT_EQ(byLog.status, 0) << byLog.err;
    ASSERT_NE(byLog.out.find("95 % region"), std::string::npos) << byLog.out;
    for (const std::vector<std::string>& frequency : {std::vector<std::string>{"--mhz", "881.52"},
                                                      std::vector<std::string>{"--channel", "384", "--band", "800"}}) {
        std::vector<std::string> args{"locate", "--archive", archive, "--site", "van"};
        args.insert(args.end(), frequency.begin(), frequency.end());
        const Outcome byArchive = zarnlog(args);
        EXPECT_EQ(byArchive.status, 0) << byArchive.err;
        EXPECT_EQ(byArchive.out, byLog.out);
    }
    const Outcome otherSite = zarnlog({"locate", "--archive", archive, "--site", "car", "--mhz", "881.52"});
    EXPECT_EQ(otherSite.status, 1);
    EXPECT_NE(otherSite.err.find("no placed reading of 881.52 MHz"), std::string::npos) << otherSite.err;
    const Outcome before = zarnlog({"locate", "--archive", archive, "--to", "2000-01-01T00:00", "--mhz", "881.52"});
    EXPECT_EQ(before.status, 1) << before.err;
}

TEST_F(ZarnlogArchive, BadInputIsRefusedWithWhatIsWrongAndNothingHalfStored) {
    const std::string log = dir.file("survey.zrn");
    ASSERT_NO_FATAL_FAILURE(writeSurvey(log));
    std::ofstream(dir.file("notes.zrn")) << "this is no log\n";
    const std::string plain = database("plain", PostgresServer::Plain);
    const std::string team = database("team");
    const std::string newer = database("newer");
    ASSERT_EQ(zarnlog({"db", "init", "--archive", newer}).status, 0);
    server->scalar("newer", "INSERT INTO zarn.schema_version (version) VALUES (99)");
    std::string error;
    ASSERT_TRUE(server->createRole("pusher", "right horse", error)) << error;
    ASSERT_TRUE(server->createRole("owner", "owner's own", error)) << error;
    server->scalar("team", "ALTER DATABASE team OWNER TO owner");
    const std::string wrong = dir.file("wrong.pgpass");
    fs::copy_file(server->writePgpass("pusher", "wrong horse"), wrong);
    fs::permissions(wrong, fs::perms::owner_read | fs::perms::owner_write);
    const std::string right = server->writePgpass("pusher", "right horse");
    const std::string unreachable = "host=127.0.0.1 port=" + std::to_string(zarn::testing::freePort()) + " dbname=x";

    const struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string passfile;
        int status;
        std::string says;
    } cases[] = {
        {"unreachable", {"push", log, "--archive", unreachable}, "", 1, "Connection refused"},
        {"wrong password", {"push", log, "--archive", server->roleConninfo("pusher", "team")}, wrong, 1,
         "password authentication failed for user \"pusher\""},
        {"no password anywhere", {"db", "init", "--archive", server->roleConninfo("pusher", "team")},
         dir.file("absent.pgpass"), 1, "no password supplied; a password goes in ~/.pgpass"},
        {"no PostGIS", {"push", log, "--archive", plain}, "", 1, "CREATE EXTENSION postgis"},
        {"newer schema", {"push", log, "--archive", newer}, "", 1, "version 99, newer than this program knows (" + std::to_string(kArchiveSchemaVersion) + ")"},
        {"not a log", {"push", dir.file("notes.zrn"), "--archive", team}, "", 1, "not a Zarn log"},
        {"a role that may only push, before db init", {"push", log, "--archive", server->roleConninfo("pusher", "team")},
         right, 1, "may not make the schema zarn"},
        {"conninfo libpq does not take", {"push", log, "--archive", "host"}, "", 2,
         "--archive: not a conninfo libpq takes: a word without \"=\""},
        {"a blank in the password, never repeated", {"push", log, "--archive", "host=db password=hidden word"}, "", 2,
         "--archive: not a conninfo libpq takes"},
        {"site not UTF-8", {"push", log, "--archive", team, "--site", "caf\xe9"}, "", 2, "--site: not valid UTF-8"},
        {"no log", {"push", "--archive", team}, "", 2, "push needs a log file"},
        {"grid without a frequency", {"grid", "--archive", team, "-o", "g.gpkg"}, "", 2, "grid needs --mhz"},
        {"db without a command", {"db", "--archive", team}, "", 2, "db takes init, status, prune or compact"},
        {"prune without a time", {"db", "prune", "--archive", team}, "", 2, "db prune needs --before TIME"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.passfile.empty()) unsetenv("PGPASSFILE");
        else setenv("PGPASSFILE", c.passfile.c_str(), 1);
        const Outcome o = zarnlog(c.args);
        EXPECT_EQ(o.status, c.status) << o.err;
        EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
        EXPECT_EQ(o.err.find("hidden"), std::string::npos) << o.err;
    }
    EXPECT_EQ(server->scalar("team", "SELECT to_regclass('zarn.logs') IS NULL"), "t");
    EXPECT_EQ(server->scalar("newer", "SELECT count(*) FROM zarn.logs"), "0");
    unsetenv("PGPASSFILE");

    // The owner makes the schema once; a role of SELECT and INSERT pushes from then on.
    setenv("PGPASSFILE", server->writePgpass("owner", "owner's own").c_str(), 1);
    const Outcome init = zarnlog({"db", "init", "--archive", server->roleConninfo("owner", "team")});
    ASSERT_EQ(init.status, 0) << init.err;
    EXPECT_NE(init.out.find("schema zarn version " + std::to_string(kArchiveSchemaVersion)), std::string::npos);
    server->scalar("team", "GRANT USAGE ON SCHEMA zarn TO pusher; GRANT SELECT, INSERT ON ALL TABLES "
                           "IN SCHEMA zarn TO pusher; SELECT 1");
    setenv("PGPASSFILE", right.c_str(), 1);
    const std::string pusher = server->roleConninfo("pusher", "team");
    const Outcome pushed = zarnlog({"push", log, "--archive", pusher, "--site", "mast 1"});
    ASSERT_EQ(pushed.status, 0) << pushed.err;
    const std::string records = count("team", "zarn.records");
    const Outcome compacted = zarnlog({"db", "compact", "--archive", pusher});
    EXPECT_EQ(compacted.status, 1);
    EXPECT_NE(compacted.err.find("the archive's owner runs zarnlog db compact"), std::string::npos) << compacted.err;

    // Under another site: refused, nothing added; without --site it goes on as its own.
    const Outcome other = zarnlog({"push", log, "--archive", pusher, "--site", "mast 2"});
    EXPECT_EQ(other.status, 1);
    EXPECT_NE(other.err.find("pushed before as site \"mast 1\""), std::string::npos) << other.err;
    EXPECT_EQ(zarnlog({"push", log, "--archive", pusher}).status, 0);
    EXPECT_EQ(count("team", "zarn.records"), records);
    EXPECT_EQ(count("team", "zarn.logs"), "1");

    const Outcome status = zarnlog({"db", "status", "--archive", pusher});
    EXPECT_EQ(status.status, 0) << status.err;
    EXPECT_NE(status.out.find("surveys  1\nrecords  " + records + "\n"), std::string::npos) << status.out;
    const Outcome noPostgis = zarnlog({"db", "status", "--archive", plain});
    EXPECT_NE(noPostgis.out.find("postgis  none"), std::string::npos) << noPostgis.out;
    unsetenv("PGPASSFILE");
}

TEST_F(ZarnlogArchive, PushesAtOnceOrCutOffByAKilledServerStoreEveryRecordOnce) {
    const std::string log = dir.file("week.zrn");
    ASSERT_TRUE(writeCellularSweepLog(log, 12000, 2250));  // 40 MB: four batches
    const std::string archive = database("twice");
    const auto push = [&](const std::string& conninfo) {
        return zarn::testing::runProgram({kZarnlog, "push", log, "--archive", conninfo});
    };
    zarn::testing::ProgramRun a, b;
    std::thread first([&] { a = push(archive); });
    std::thread second([&] { b = push(archive); });
    first.join();
    second.join();
    EXPECT_EQ(a.status, 0) << a.output;
    EXPECT_EQ(b.status, 0) << b.output;
    EXPECT_EQ(count("twice", "zarn.records"), "12000");
    EXPECT_EQ(count("twice", "zarn.sweeps"), "12000");
    EXPECT_EQ(server->scalar("twice", "SELECT max(record_no) FROM zarn.records"), "11999");

    // The server killed once a batch is in: the batches in stay whole, a push again completes them.
    const std::string killed = database("killed");
    zarn::testing::ProgramRun cut;
    std::thread pushing([&] { cut = push(killed); });
    const bool batchIn = zarn::testing::waitUntil(
        [&] {
            const auto r = server->sql("killed", "SELECT count(*) > 0 FROM zarn.records");
            return r.ok() && r.rows[0][0] == "t";
        },
        30s);
    server->kill();
    pushing.join();
    ASSERT_TRUE(batchIn);
    EXPECT_EQ(cut.status, 1) << cut.output;
    std::string error;
    ASSERT_TRUE(server->start(error)) << error;
    EXPECT_EQ(server->scalar("killed", "SELECT count(*) FROM zarn.records"),
              server->scalar("killed", "SELECT count(*) FROM zarn.sweeps"));
    const auto again = push(killed);
    EXPECT_EQ(again.status, 0) << again.output;
    const std::string rows = "SELECT record_no, byte_offset, time, levels FROM zarn.records JOIN zarn.sweeps "
                             "USING (survey, record_no) ORDER BY record_no";
    EXPECT_EQ(server->sql("killed", rows).rows, server->sql("twice", rows).rows);
}

// Logs as sites write them: a day of single-channel records a second (on a drive, and at a fixed
// site), channel tables, best servers, cellular sweeps. Each takes at most 1.5 times its log's bytes
// in the archive, every table, index, TOAST table and partition counted; at a record a second the
// hourly figures take at most a tenth of the packs they sum up.
TEST_F(ZarnlogArchive, EveryKindOfRecordTakesAtMostOneAndAHalfTimesItsLogAndTheHourlyFiguresATenthOfIt) {
    const auto records = [](int n, std::function<void(SyntheticLog&, int)> record) {
        return [n, record](const std::string& path) {
            SyntheticLog log(path, 50000);
            for (int s = 0; s < n; ++s) record(log, s);
            return log.ok();
        };
    };
    const struct Kind {
        std::string name;
        std::function<bool(const std::string&)> write;
        bool driven;
    } kinds[] = {
        {"drive", [](const std::string& p) { return writeSingleChannelLog(p, 86400, 1); }, true},
        {"fixed", [](const std::string& p) { return writeSingleChannelLog(p, 6 * 3600, 1); }, false},
        {"table", records(6000, [](SyntheticLog& log, int s) {
             log.table({{0, 384, static_cast<int16_t>(-1300 + s % 97)}, {0, 991, -1400},
                        {1, 25, static_cast<int16_t>(-1500 - s % 31)}});
         }), false},
        {"servers", records(10000, [](SyntheticLog& log, int s) {
             log.bestServers(0, {{417, static_cast<int16_t>(-55 - s % 9)}, {34, -80}, {228, static_cast<int16_t>(-90 + s % 5)}});
         }), false},
        {"sweeps", [](const std::string& p) { return writeCellularSweepLog(p, 500, 2250); }, false},
    };
    // The hourly figures against the packs they sum up by their rows' bytes (a partition's first pages
    // are most of a small one).
    const std::string sizes = "SELECT sum(pg_total_relation_size(c.oid)), "
                              "(SELECT sum(pg_column_size(h.*)) FROM zarn.hourly_figures h), "
                              "(SELECT sum(pg_column_size(p.*)) FROM zarn.packs p) "
                              "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                              "WHERE n.nspname = 'zarn' AND c.relkind = 'r'";
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.name);
        const std::string log = dir.file(k.name + ".zrn");
        ASSERT_TRUE(k.write(log));
        if (k.driven) {
            ASSERT_TRUE(writeSyntheticTrack(dir.file(k.name + ".gpx"), 0, 86410, 10,
                                            [](long long s) { return std::optional(along(static_cast<double>(s) / 20)); }));
        }
        const std::string archive = database("size_" + k.name);
        const Outcome o = zarnlog({"push", log, "--archive", archive});
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_NE(o.err.find(k.driven ? "; 0 not placed" : "; 0 damaged"), std::string::npos) << o.err;
        const auto measured = server->sql("size_" + k.name, sizes);
        ASSERT_TRUE(measured.ok()) << measured.error;
        const double whole = std::stod(*measured.rows[0][0]), hourly = std::stod(*measured.rows[0][1]),
                     packs = std::stod(*measured.rows[0][2]);
        const double logBytes = static_cast<double>(fs::file_size(log));
        EXPECT_LE(whole, 1.5 * logBytes) << whole / logBytes << " times the log";
        RecordProperty("archive_per_log_" + k.name, std::to_string(whole / logBytes));
        if (k.name == "fixed" || k.name == "drive") {
            EXPECT_LE(hourly, packs / 10) << hourly << " of " << packs;
        }
    }
}

// A site's hour whose figures are worked out by hand; a second site with a record in each of three
// months. The hourly figures agree with the raw readings; a time window reads its month's partitions
// only; a prune removes whole hours and partitions, a dry run nothing, and the hourly figures stay.
TEST_F(ZarnlogArchive, HourlyFiguresAgreeWithTheReadingsAndOutliveAPruneOfWholePartitions) {
    const std::string hand = dir.file("hand.zrn"), later = dir.file("later.zrn");
    {
        SyntheticLog log(hand, 50000);
        for (const int16_t sixteenths : {-80 * 16, -70 * 16, -60 * 16, -90 * 16, -1208, -65 * 16})
            log.singleChannel(384, sixteenths, 3250, -1900);
        ASSERT_TRUE(log.ok());
        SyntheticLog months(later, 50000, 30 * 86400);
        for (int n = 0; n < 3; ++n) months.singleChannel(384, -50 * 16, 3250, -1900);
        ASSERT_TRUE(months.ok());
    }
    const std::string archive = database("hours");
    ASSERT_EQ(zarnlog({"push", hand, "--archive", archive, "--site", "near"}).status, 0);
    ASSERT_EQ(zarnlog({"push", later, "--archive", archive, "--site", "far"}).status, 0);

    // By hand: -80, -70, -60, -90, -75.5, -65 dBm; bins (the whole dBm at or above): -80 -70 -60 -90 -75 -65.
    const std::string hour = "SELECT samples, round(mean_dbm::numeric, 4), min_dbm, max_dbm, p10_dbm, p50_dbm, p90_dbm, "
                             "band FROM zarn.hourly WHERE site = 'near' AND mhz = 881.52";
    const std::string byHand = "6|-66.1517|-90|-60|-90|-75|-60|800";
    const auto row = [&](const std::string& sql) {
        const auto r = server->sql("hours", sql);
        EXPECT_TRUE(r.ok()) << r.error;
        std::string text;
        for (const auto& cell : r.rows.empty() ? std::vector<std::optional<std::string>>{} : r.rows[0])
            text += (text.empty() ? "" : "|") + cell.value_or("NULL");
        return text;
    };
    EXPECT_EQ(row(hour), byHand);
    EXPECT_EQ(row("SELECT count(*), round((10 * log10(avg(power(10, dbm / 10))))::numeric, 4), min(dbm), max(dbm), "
                  "percentile_disc(0.1) WITHIN GROUP (ORDER BY ceil(dbm)), "
                  "percentile_disc(0.5) WITHIN GROUP (ORDER BY ceil(dbm)), "
                  "percentile_disc(0.9) WITHIN GROUP (ORDER BY ceil(dbm)), band FROM zarn.readings r "
                  "JOIN zarn.logs l ON l.id = r.survey WHERE l.site = 'near' AND mhz = 881.52 GROUP BY band"),
              byHand);
    // Above -70 dBm: -65 and -60, a third.
    EXPECT_EQ(row("SELECT samples, above, round(occupancy::numeric, 4) FROM "
                  "zarn.occupancy('near', 881.52, -70, '2004-07-09', '2004-07-10')"),
              "6|2|0.3333");

    // A window of August reads August's partitions only.
    for (const char* view : {"zarn.pack_records", "zarn.hourly"}) {
        const auto plan = server->sql("hours", std::string("EXPLAIN SELECT * FROM ") + view +
                                                   " WHERE hour >= '2004-08-01' AND hour < '2004-09-01'");
        std::string text;
        for (const auto& line : plan.rows) text += line[0].value_or("") + "\n";
        EXPECT_NE(text.find("_2004_08"), std::string::npos) << text;
        EXPECT_EQ(text.find("_2004_07"), std::string::npos) << text;
        EXPECT_EQ(text.find("_2004_09"), std::string::npos) << text;
    }

    const std::string hourlyRows = "SELECT * FROM zarn.hourly ORDER BY site, hour, mhz";
    const auto hourlyBefore = server->sql("hours", hourlyRows).rows;
    const std::string records = count("hours", "zarn.records");
    const Outcome dry = zarnlog({"db", "prune", "--before", "2004-08-01T00:00", "--dry-run", "--archive", archive});
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_NE(dry.out.find("would prune 7 records of 2 surveys before 2004-08-01T00:00:00: 1 partitions dropped"),
              std::string::npos)
        << dry.out;
    EXPECT_EQ(count("hours", "zarn.records"), records);
    EXPECT_EQ(server->scalar("hours", "SELECT to_regclass('zarn.packs_2004_07') IS NOT NULL"), "t");

    const Outcome pruned = zarnlog({"db", "prune", "--before", "2004-08-01T00:00", "--archive", archive});
    ASSERT_EQ(pruned.status, 0) << pruned.err;
    EXPECT_NE(pruned.out.find("pruned 7 records of 2 surveys before 2004-08-01T00:00:00: 1 partitions dropped"),
              std::string::npos)
        << pruned.out;
    EXPECT_EQ(server->scalar("hours", "SELECT to_regclass('zarn.packs_2004_07') IS NULL"), "t");
    EXPECT_EQ(count("hours", "zarn.records"), "2");
    EXPECT_EQ(server->sql("hours", hourlyRows).rows, hourlyBefore);
    // Known still: pushed again, nothing comes back.
    const Outcome again = zarnlog({"push", hand, "--archive", archive});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.err.find("(0 new)"), std::string::npos) << again.err;
    EXPECT_EQ(count("hours", "zarn.records"), "2");

    // One site's August: its partition left empty goes whole.
    const Outcome site = zarnlog({"db", "prune", "--before", "2004-09-01T00:00", "--site", "far", "--archive", archive});
    ASSERT_EQ(site.status, 0) << site.err;
    EXPECT_NE(site.out.find("pruned 1 records of 1 surveys before 2004-09-01T00:00:00 (site \"far\"): 1 partitions dropped"),
              std::string::npos)
        << site.out;
    EXPECT_EQ(server->scalar("hours", "SELECT to_regclass('zarn.packs_2004_08') IS NULL"), "t");
    const Outcome status = zarnlog({"db", "status", "--archive", archive});
    EXPECT_NE(status.out.find("before 2004-08-01T00:00:00, every site: 7 records of 2 surveys"), std::string::npos)
        << status.out;
}

// An archive that version 1 made, its rows as that version's pusher wrote them, moves forward in
// place: every record and reading, each view's rows, the grants; the hourly figures as a push makes them.
TEST_F(ZarnlogArchive, AnArchiveOfVersionOneMovesForwardWithEveryReadingKept) {
    const std::string log = dir.file("survey.zrn"), other = dir.file("other.zrn");
    ASSERT_NO_FATAL_FAILURE(writeSurvey(log));
    ASSERT_NO_FATAL_FAILURE(damageRecord(log, 20));
    ASSERT_NO_FATAL_FAILURE(writeSurvey(other, -40));
    ASSERT_TRUE(writeSyntheticTrack(dir.file("survey.gpx"), 0, kSeconds - 20, 1,
                                    [](long long s) { return std::optional(along(static_cast<double>(s))); }));
    const std::string old = database("old"), fresh = database("fresh");
    {
        ArchiveConnection db;
        std::string error;
        int before = 0;
        ASSERT_TRUE(db.open(old, "test", error)) << error;
        ASSERT_TRUE(prepareSchema(db, before, error, 1)) << error;
        Track track;
        ASSERT_TRUE(readTrackFile(dir.file("survey.gpx"), track, error)) << error;
        const TrackJoin join(track, std::nullopt);
        ASSERT_TRUE(zarn::testing::pushVersion1(db, log, "mast", &join, error)) << error;
        ASSERT_TRUE(zarn::testing::pushVersion1(db, other, "van", nullptr, error)) << error;
    }
    std::string error;
    ASSERT_TRUE(server->createRole("north", "its own", error)) << error;
    server->scalar("old", "GRANT USAGE ON SCHEMA zarn TO north; GRANT SELECT, INSERT ON ALL TABLES IN SCHEMA zarn "
                          "TO north; SELECT 1");
    const std::vector<std::string> views{
        "SELECT * FROM zarn.records ORDER BY survey, record_no",
        "SELECT * FROM zarn.channel_readings ORDER BY survey, record_no, slot",
        "SELECT * FROM zarn.sweeps ORDER BY survey, record_no",
        "SELECT * FROM zarn.readings ORDER BY survey, record_no, mhz, dbm",
        "SELECT * FROM zarn.single_channel ORDER BY id",
        "SELECT * FROM zarn.channel_table ORDER BY id",
        "SELECT * FROM zarn.best_servers ORDER BY id",
        "SELECT * FROM zarn.spectrum ORDER BY id",
        "SELECT * FROM zarn.notes ORDER BY id",
        "SELECT * FROM zarn.surveys ORDER BY id",
        "SELECT * FROM zarn.damaged_stretches ORDER BY survey, byte_offset",
    };
    // A single-channel record with its PCS reading only, as a band the board never answered leaves it.
    server->scalar("old", "DELETE FROM zarn.channel_readings WHERE (survey, record_no, slot) = "
                          "(SELECT r.survey, r.record_no, 0 FROM zarn.records r JOIN zarn.logs l ON l.id = r.survey "
                          "WHERE l.site = 'van' AND r.type = 216 ORDER BY 1, 2 LIMIT 1) "
                          "RETURNING 1");
    std::vector<std::vector<std::vector<std::optional<std::string>>>> before;
    for (const std::string& v : views) before.push_back(server->sql("old", v).rows);
    ASSERT_GT(before[0].size(), 200u);

    const Outcome init = zarnlog({"db", "init", "--archive", old});
    ASSERT_EQ(init.status, 0) << init.err;
    EXPECT_NE(init.out.find("schema zarn version " + std::to_string(kArchiveSchemaVersion) + " in "), std::string::npos)
        << init.out;
    EXPECT_NE(init.out.find("upgraded from version 1"), std::string::npos) << init.out;
    for (size_t i = 0; i < views.size(); ++i) EXPECT_EQ(server->sql("old", views[i]).rows, before[i]) << views[i];
    EXPECT_EQ(server->scalar("old", "SELECT count(*) FROM pg_tables WHERE schemaname = 'zarn' AND tablename LIKE '%_v1'"), "0");

    // The hourly figures a push of the same logs makes.
    ASSERT_EQ(zarnlog({"push", log, "--archive", fresh, "--site", "mast"}).status, 0);
    ASSERT_EQ(zarnlog({"push", other, "--archive", fresh, "--site", "van"}).status, 0);
    const std::string hourly = "SELECT site, hour, band, mhz, samples, round(mean_dbm::numeric, 9), min_dbm, max_dbm, "
                               "p10_dbm, p50_dbm, p90_dbm FROM zarn.hourly WHERE site = 'mast' ORDER BY site, hour, mhz";
    EXPECT_EQ(server->sql("old", hourly).rows, server->sql("fresh", hourly).rows);
    EXPECT_GT(server->sql("old", hourly).rows.size(), 50u);
    const std::string samples = "SELECT sum(samples) FROM zarn.hourly WHERE site = 'van'";
    EXPECT_EQ(std::stol(server->scalar("fresh", samples)) - std::stol(server->scalar("old", samples)), 1);

    // A role that pushed before pushes still.
    setenv("PGPASSFILE", server->writePgpass("north", "its own").c_str(), 1);
    const std::string third = dir.file("third.zrn");
    ASSERT_NO_FATAL_FAILURE(writeSurvey(third, -80));
    const Outcome north = zarnlog({"push", third, "--archive", server->roleConninfo("north", "old")});
    EXPECT_EQ(north.status, 0) << north.err;
    unsetenv("PGPASSFILE");
}

// A tablespace on a small tmpfs fills up: a full disk is told as one, and the batches before it stay whole.
TEST_F(ZarnlogArchive, AFullDiskIsToldAndAPushAfterItCompletesTheSurvey) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
    const fs::path space = dir.path / "space";
    fs::create_directories(space);
    if (mount("tmpfs", space.c_str(), "tmpfs", 0, "size=256k") != 0) GTEST_SKIP() << "no tmpfs: " << strerror(errno);
    const auto user = server->folder().user();
    ASSERT_EQ(chown(space.c_str(), user.uid, user.gid), 0);
    const std::string log = dir.file("day.zrn");
    ASSERT_TRUE(writeCellularSweepLog(log, 6000, 2250));  // 20 MB
    const std::string archive = database("full");
    ASSERT_EQ(zarnlog({"db", "init", "--archive", archive}).status, 0);
    server->scalar("postgres", "CREATE TABLESPACE small LOCATION '" + space.string() + "'");
    server->scalar("full", "ALTER TABLE zarn.packs SET TABLESPACE small");

    const Outcome full = zarnlog({"push", log, "--archive", archive});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("the database's disk is full"), std::string::npos) << full.err;
    EXPECT_EQ(count("full", "zarn.records"), count("full", "zarn.sweeps"));

    server->scalar("full", "ALTER TABLE zarn.packs SET TABLESPACE pg_default; ALTER TABLE ALL IN TABLESPACE small SET "
                           "TABLESPACE pg_default; ALTER INDEX ALL IN TABLESPACE small SET TABLESPACE pg_default; SELECT 1");
    const Outcome after = zarnlog({"push", log, "--archive", archive});
    EXPECT_EQ(after.status, 0) << after.err;
    EXPECT_EQ(count("full", "zarn.sweeps"), "6000");
    server->scalar("postgres", "DROP TABLESPACE small");
    umount2(space.c_str(), MNT_DETACH);
}

// Two sites, a viewer and an operator on an archive owned by a role that is no superuser (so that
// FORCE ROW LEVEL SECURITY holds the owner's views too): every forbidden act fails in the database for
// the right reason and changes nothing, every table and view shows a site its own rows alone, and the
// surveys a site pushed before the network's schema are its own once it is registered.
TEST_F(ZarnlogArchive, EachSiteRoleIsHeldToItsOwnRowsByTheDatabase) {
    const std::string hillLog = dir.file("hill.zrn"), coastLog = dir.file("coast.zrn"), later = dir.file("later.zrn");
    ASSERT_NO_FATAL_FAILURE(writeSurvey(hillLog));
    ASSERT_NO_FATAL_FAILURE(writeSurvey(coastLog, -40));
    ASSERT_TRUE(writeCellularSweepLog(later, 30, 1000));
    std::string error;
    const std::vector<std::pair<std::string, std::string>> roles{
        {"net_owner", "owns"}, {"hill_rec", "hill's"}, {"coast_rec", "coast's"}, {"spare_rec", "spare's"},
        {"net_viewer", "looks"}, {"net_operator", "runs"}};
    const std::string passfile = dir.file("pgpass");
    {
        std::ofstream all(passfile);
        for (const auto& [role, password] : roles) {
            ASSERT_TRUE(server->createRole(role, password, error)) << error;
            all << readText(server->writePgpass(role, password));
        }
    }
    fs::permissions(passfile, fs::perms::owner_read | fs::perms::owner_write);
    setenv("PGPASSFILE", passfile.c_str(), 1);
    database("net");
    server->scalar("net", "ALTER DATABASE net OWNER TO net_owner; GRANT CREATE ON SCHEMA public TO net_owner; SELECT 1");
    const auto as = [&](const std::string& role) { return server->roleConninfo(role, "net"); };

    // Pushed at version 2, before there were sites.
    std::vector<std::string> views;
    std::vector<Rows> before;
    {
        ArchiveConnection db;
        int was = 0;
        ASSERT_TRUE(db.open(as("net_owner"), "test", error)) << error;
        ASSERT_TRUE(prepareSchema(db, was, error, 2)) << error;
        for (const auto& [log, site] : {std::pair(hillLog, "hill"), std::pair(coastLog, "coast")}) {
            LogPusher pusher(db, log, site, true);
            NoPlaces none;
            PushProgress progress;
            ASSERT_TRUE(pusher.push(none, progress, error)) << error;
        }
        for (const auto& row : server->sql("net", "SELECT relname FROM pg_class WHERE relnamespace = 'zarn'::regnamespace "
                                                  "AND relkind = 'v' ORDER BY 1").rows)
            views.push_back(*row[0]);
        for (const std::string& v : views) before.push_back(sortedTexts(server->sql("net", "SELECT * FROM zarn." + v)));
    }
    const Outcome init = zarnlog({"db", "init", "--archive", as("net_owner")});
    ASSERT_EQ(init.status, 0) << init.err;
    EXPECT_NE(init.out.find("upgraded from version 2"), std::string::npos) << init.out;
    for (size_t i = 0; i < views.size(); ++i)
        EXPECT_EQ(sortedTexts(server->sql("net", "SELECT * FROM zarn." + views[i])), before[i]) << views[i];

    // The DBA's grants, as docs/network.md gives them.
    server->scalar("net", "GRANT USAGE ON SCHEMA zarn TO net_viewer, net_operator; "
                          "GRANT SELECT ON ALL TABLES IN SCHEMA zarn TO net_viewer, net_operator; "
                          "GRANT INSERT, UPDATE, DELETE ON zarn.tasks TO net_operator; "
                          "GRANT EXECUTE ON FUNCTION zarn.add_site(text, name, float8, float8, text), "
                          "zarn.remove_site(text) TO net_operator; SELECT 1");
    for (const auto& [site, role] : {std::pair("hill", "hill_rec"), std::pair("coast", "coast_rec"), std::pair("spare", "spare_rec")}) {
        const Outcome added = zarnlog({"site", "add", site, "--role", role, "--position", "47.1,8.2", "--archive", as("net_operator")});
        ASSERT_EQ(added.status, 0) << added.err;
    }
    const Outcome byViewer = zarnlog({"site", "add", "x", "--role", "net_viewer", "--archive", as("net_viewer")});
    EXPECT_EQ(byViewer.status, 1);
    EXPECT_NE(byViewer.err.find("permission denied for function add_site"), std::string::npos) << byViewer.err;
    const Outcome owner = zarnlog({"site", "add", "x", "--role", "net_owner", "--archive", as("net_operator")});
    EXPECT_NE(owner.err.find("owns the schema zarn"), std::string::npos) << owner.err;

    // A site pushes for itself alone; under another's name nothing is stored.
    const Outcome elsewhere = zarnlog({"push", later, "--site", "coast", "--archive", as("hill_rec")});
    EXPECT_EQ(elsewhere.status, 1);
    EXPECT_NE(elsewhere.err.find("\"hill_rec\" is site \"hill\" and pushes for it alone, not for site \"coast\""),
              std::string::npos) << elsewhere.err;
    const Outcome taken = zarnlog({"push", coastLog, "--archive", as("hill_rec")});
    EXPECT_EQ(taken.status, 1);
    EXPECT_NE(taken.err.find("pushed before by another site"), std::string::npos) << taken.err;
    EXPECT_EQ(count("net", "zarn.logs"), "2");
    {  // pushed in two steps: an hour of short packs for the owner to compact below
        const std::string half = dir.file("later-half.zrn");
        fs::copy_file(later, half);
        fs::resize_file(half, fs::file_size(later) / 2);
        const Outcome first = zarnlog({"push", half, "--archive", as("hill_rec")});
        EXPECT_EQ(first.status, 0) << first.err;
    }
    const Outcome own = zarnlog({"push", later, "--archive", as("hill_rec")});
    EXPECT_EQ(own.status, 0) << own.err;
    EXPECT_EQ(server->scalar("net", "SELECT string_agg(site, ',' ORDER BY id) FROM zarn.logs"), "hill,coast,hill");

    const std::string coastSurvey = server->scalar("net", "SELECT id FROM zarn.logs WHERE site = 'coast'");
    const std::string hillSurvey = server->scalar("net", "SELECT min(id) FROM zarn.logs WHERE site = 'hill'");
    const std::string hour = server->scalar("net", "SELECT min(hour) FROM zarn.packs");
    server->scalar("net", "INSERT INTO zarn.tasks (site, options) VALUES ('coast', '{--single,881.52}'), "
                          "('hill', '{--single,881.52}') RETURNING 1");
    const std::string coastTask = server->scalar("net", "SELECT id FROM zarn.tasks WHERE site = 'coast'");
    const std::string partition = server->scalar("net", "SELECT min(c.relname) FROM pg_inherits i JOIN pg_class c ON "
                                                        "c.oid = i.inhrelid WHERE i.inhparent = 'zarn.packs'::regclass");
    server->scalar("net", "SET ROLE net_owner; CREATE VIEW zarn.leaky AS SELECT * FROM zarn.logs; "
                          "GRANT SELECT ON zarn.leaky TO hill_rec; SELECT 1");
    const std::string rls = "new row violates row-level security policy";
    const struct Case {
        const char* role;
        std::string sql, says;
    } cases[] = {
        {"hill_rec", "INSERT INTO zarn.logs (site, file_name, content_hash, format_version) "
                     "VALUES ('coast', 'x.zrn', '\\x00', '1')", rls + " for table \"logs\""},
        {"hill_rec", "INSERT INTO zarn.packs (survey, hour, first_offset, last_offset, first_record_no, records, "
                     "first_time, last_time, type) VALUES (" + coastSurvey + ", '" + hour + "', 1, 1, 999, 1, '" + hour +
                     "', '" + hour + "', 216)", rls + " for table \"packs\""},
        {"hill_rec", "INSERT INTO zarn.hourly_figures (site, hour, band, hz, samples, sum_mw, min_dbm, max_dbm, low_bin, "
                     "bins) VALUES ('coast', '" + hour + "', 0, 1, 1, 1, -90, -90, -90, '{1}')", rls + " for table \"hourly_figures\""},
        {"hill_rec", "INSERT INTO zarn.damaged_stretches VALUES (" + coastSurvey + ", 1, 1, 'x')",
         rls + " for table \"damaged_stretches\""},
        {"hill_rec", "INSERT INTO zarn.health (site, at, heartbeat, state, version) VALUES ('coast', now(), 30, "
                     "'recording', '1')", rls + " for table \"health\""},
        {"hill_rec", "INSERT INTO zarn.events (site, at, kind) VALUES ('coast', now(), 'started')",
         rls + " for table \"events\""},
        {"hill_rec", "INSERT INTO zarn.task_runs (task, site, started_at, ended_at, outcome) VALUES (" + coastTask +
                     ", 'hill', now(), now(), 'done')", rls + " for table \"task_runs\""},
        {"hill_rec", "INSERT INTO zarn.tasks (site, options) VALUES ('hill', '{--listen,0.0.0.0:80}')",
         "permission denied for table tasks"},
        {"hill_rec", "UPDATE zarn.packs SET records = records WHERE survey = " + hillSurvey, "permission denied for table packs"},
        {"hill_rec", "UPDATE zarn.logs SET site = 'hill'", "permission denied for table logs"},
        {"hill_rec", "DELETE FROM zarn.hourly_figures WHERE site = 'hill'", "permission denied for table hourly_figures"},
        {"hill_rec", "DELETE FROM zarn.logs WHERE id = " + hillSurvey, "permission denied for table logs"},
        {"hill_rec", "UPDATE zarn.sites SET role = 'coast_rec'", "permission denied for table sites"},
        {"hill_rec", "SELECT * FROM zarn." + partition, "permission denied for table " + partition},
        {"hill_rec", "SELECT zarn.prune('3000-01-01', NULL)", "permission denied for table packs"},
        {"hill_rec", "SELECT zarn.add_site('mine', 'coast_rec', NULL, NULL, NULL)", "permission denied for function add_site"},
        {"net_viewer", "DELETE FROM zarn.logs", "permission denied for table logs"},
        {"net_viewer", "INSERT INTO zarn.tasks (site, options) VALUES ('hill', '{}')", "permission denied for table tasks"},
        {"net_operator", "DELETE FROM zarn.packs", "permission denied for table packs"},
        {"coast_rec", "UPDATE zarn.tasks SET enabled = false", "permission denied for table tasks"},
    };
    const std::string everything = "SELECT (SELECT count(*) FROM zarn.logs), (SELECT count(*) FROM zarn.packs), "
                                   "(SELECT sum(samples) FROM zarn.hourly_figures), (SELECT count(*) FROM zarn.damaged_stretches), "
                                   "(SELECT count(*) FROM zarn.health), (SELECT count(*) FROM zarn.events), "
                                   "(SELECT count(*) FROM zarn.tasks WHERE enabled), (SELECT count(*) FROM zarn.task_runs), "
                                   "(SELECT string_agg(name || role, ',') FROM zarn.sites)";
    const Rows unchanged = sortedTexts(server->sql("net", everything));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.role) + ": " + c.sql);
        const auto r = zarn::testing::runSql(as(c.role), c.sql);
        EXPECT_NE(r.error.find(c.says), std::string::npos) << r.error;
    }
    const struct Command {
        const char* role;
        std::vector<std::string> args;
        std::string says;
    } commands[] = {
        {"hill_rec", {"db", "prune", "--before", "3000-01-01T00:00"}, "permission denied for table packs"},
        {"hill_rec", {"site", "rm", "coast"}, "permission denied for function remove_site"},
        {"net_viewer", {"push", later, "--site", "hill"}, "permission denied for table logs"},
        {"net_operator", {"db", "compact"}, "permission denied for table"},
        {"hill_rec", {"task", "stop", coastTask}, "permission denied for table tasks"},
        {"coast_rec", {"task", "rm", coastTask}, "permission denied for table tasks"},
        {"net_viewer", {"task", "add", "--site", "hill", "--", "--single", "881.52"}, "permission denied for table tasks"},
    };
    for (const Command& c : commands) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin() + 2, {"--archive", as(c.role)});
        SCOPED_TRACE(std::string(c.role) + ": " + args[0] + " " + args[1]);
        const Outcome o = zarnlog(args);
        EXPECT_EQ(o.status, 1);
        EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
    }
    EXPECT_EQ(sortedTexts(server->sql("net", everything)), unchanged);

    // What hill may do, it can; what it reads of any table or view is its own rows alone.
    const auto hillRun = zarn::testing::runSql(
        as("hill_rec"), "INSERT INTO zarn.health (site, at, heartbeat, state, version) VALUES ('hill', now() - "
                        "interval '100 s', 30, 'recording', '1'); INSERT INTO zarn.events (site, at, kind) VALUES "
                        "('hill', now(), 'started'); INSERT INTO zarn.task_runs (task, site, started_at, ended_at, "
                        "survey, outcome) SELECT id, site, now(), now(), " + hillSurvey + ", 'done' FROM zarn.tasks");
    EXPECT_TRUE(hillRun.ok()) << hillRun.error;
    server->scalar("net", "INSERT INTO zarn.health (site, at, heartbeat, state, version, task, backlog, disk_free, alarms) "
                          "VALUES ('coast', now(), 30, 'recording', '1', 7, 12, 5e9, 1); INSERT INTO zarn.events "
                          "(site, at, kind) VALUES ('coast', now(), 'started'); SELECT 1");
    const auto columns = server->sql("net", "SELECT c.relname, bool_or(a.attname = 'survey'), bool_or(a.attname = 'site'), "
                                            "bool_or(a.attname = 'name') FROM pg_class c JOIN pg_attribute a ON "
                                            "a.attrelid = c.oid WHERE c.relnamespace = 'zarn'::regnamespace AND "
                                            "c.relkind IN ('r', 'p', 'v') AND NOT c.relispartition GROUP BY 1 ORDER BY 1");
    ASSERT_TRUE(columns.ok()) << columns.error;
    size_t read = 0;
    for (const auto& row : columns.rows) {
        const std::string name = *row[0];
        SCOPED_TRACE(name);
        const auto mine = zarn::testing::runSql(as("hill_rec"), "SELECT count(*) FROM zarn." + name);
        if (!mine.ok()) {
            EXPECT_NE(mine.error.find("permission denied"), std::string::npos) << mine.error;
            continue;
        }
        const std::string own = name == "prunes" ? "site IS NULL OR site = 'hill'"
                                : *row[1] == "t" ? "survey IN (SELECT id FROM zarn.logs WHERE site = 'hill')"
                                : *row[2] == "t" ? "site = 'hill'"
                                : *row[3] == "t" ? "name = 'hill'"
                                                 : "true";
        EXPECT_EQ(*mine.rows.at(0).at(0), server->scalar("net", "SELECT count(*) FROM zarn." + name + " WHERE " + own));
        read += name != "schema_version";
    }
    EXPECT_GE(read, views.size() + 9);
    const Outcome status = zarnlog({"db", "status", "--archive", as("hill_rec")});
    EXPECT_NE(status.out.find("surveys  2\n"), std::string::npos) << status.out << status.err;
    EXPECT_EQ(zarn::testing::runSql(as("hill_rec"), "SELECT count(*) FROM zarn.readings WHERE survey = " + coastSurvey).rows,
              (std::vector<std::vector<std::optional<std::string>>>{{"0"}}));

    // The list: the viewer sees every site's health; hill, three heartbeats gone, is silent.
    const Outcome list = zarnlog({"site", "list", "--csv", "--archive", as("net_viewer")});
    ASSERT_EQ(list.status, 0) << list.err;
    std::ofstream(dir.file("list.csv")) << list.out;
    const Rows listed = csvRows(dir.file("list.csv"));
    ASSERT_EQ(listed.size(), 3u) << list.out;
    EXPECT_EQ((std::vector<std::string>{listed[0][0], listed[0][4], listed[0][5], listed[0][7], listed[0][8], listed[0][9]}),
              (std::vector<std::string>{"coast", "recording", "7", "12", "5000000000", "1"}));
    EXPECT_EQ(listed[1][0] + " " + listed[1][4], "hill silent");
    EXPECT_EQ(listed[2][0] + " " + listed[2][4], "spare never heard");

    // Tasks are the operator's, their options checked as zarn-record checks its own; a site reads its own alone.
    const std::string table = ZARN_SOURCE_DIR "/resources/samples/cellular_survey.kct";
    const auto task = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"task", "add", "--archive", as("net_operator")});
        return zarnlog(args);
    };
    const Outcome sweep = task({"--site", "coast", "--every", "1h", "--for", "10m", "--priority", "5", "--name", "sweep",
                                "--", "--spectrum", "869.01:893.97", "--occupancy", "--period", "1m"});
    ASSERT_EQ(sweep.status, 0) << sweep.err;
    const Outcome drive = task({"--site", "hill", "--from", "2030-01-01T00:00", "--", "--table", table});
    ASSERT_EQ(drive.status, 0) << drive.err;
    const std::string sweepTask = sweep.out.substr(0, sweep.out.find('\n'));
    const std::string driveTask = drive.out.substr(0, drive.out.find('\n'));
    EXPECT_EQ(server->scalar("net", "SELECT array_to_string(options, ' ') || ' ' || every || ' ' || run_for || ' ' || "
                                    "priority FROM zarn.tasks WHERE id = " + sweepTask),
              "--spectrum 869.01:893.97 --occupancy --period 1m 01:00:00 00:10:00 5");
    EXPECT_EQ(server->scalar("net", "SELECT table_text FROM zarn.tasks WHERE id = " + driveTask), readText(table));
    const std::string tasks = count("net", "zarn.tasks");
    const struct Refusal {
        std::vector<std::string> args;
        int status;
        std::string says;
    } refusals[] = {
        {{"--site", "hill", "--", "--single", "881.52", "--on-alarm", "/bin/sh", "--alarm", "A: 881.52 > -60 for 1"}, 2,
         "--on-alarm: a task carries what a site measures, never what runs a program"},
        {{"--site", "hill", "--", "--single", "881.52", "--listen", "0.0.0.0:80"}, 2, "--listen: a task carries"},
        {{"--site", "hill", "--", "--single", "881.52", "--mqtt=mqtt://elsewhere"}, 2, "--mqtt: a task carries"},
        {{"--site", "hill", "--", "--single", "881.52", "-o", "/etc/x.zrn"}, 2, "--output: a task carries"},
        {{"--site", "hill", "--", "--single", "881.52", "--archive=host=elsewhere"}, 2, "--archive: a task carries"},
        {{"--site", "hill", "--", "--single", "881.52", "--alarms", "/etc/passwd"}, 2, "--alarms: a task carries"},
        {{"--site", "hill", "--", "--single", "900"}, 2, "'900' MHz is in neither band"},
        {{"--site", "hill", "--", "--single", "881.52", "--spectrum", "869.01:893.97"}, 2, "give exactly one of"},
        {{"--site", "hill", "--single", "881.52"}, 2, "unknown option"},
        {{"--site", "hill", "--every", "10m", "--for", "1h", "--", "--single", "881.52"}, 2, "the runs would overlap"},
        {{"--site", "nowhere", "--", "--single", "881.52"}, 1, "there is no site \"nowhere\""},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.args.back());
        const Outcome o = task(r.args);
        EXPECT_EQ(o.status, r.status) << o.err;
        EXPECT_NE(o.err.find(r.says), std::string::npos) << o.err;
    }
    EXPECT_EQ(count("net", "zarn.tasks"), tasks);
    const Outcome hillTasks = zarnlog({"task", "list", "--archive", as("hill_rec")});
    ASSERT_EQ(hillTasks.status, 0) << hillTasks.err;
    EXPECT_NE(hillTasks.out.find(driveTask + "     hill"), std::string::npos) << hillTasks.out;
    EXPECT_EQ(hillTasks.out.find("coast"), std::string::npos) << hillTasks.out;
    const Outcome coastTasks = zarnlog({"task", "list", "--site", "coast", "--archive", as("net_viewer")});
    EXPECT_NE(coastTasks.out.find("sweep  on     5         1h     10m"), std::string::npos) << coastTasks.out;
    const Outcome coastCsv = zarnlog({"task", "list", "--site", "coast", "--csv", "--archive", as("net_viewer")});
    EXPECT_EQ(coastCsv.out, "task,site,name,state,priority,every_seconds,for_seconds,from,until,options\n" + sweepTask +
                                ",\"coast\",\"sweep\",\"on\",5,3600,600,,,\"--spectrum 869.01:893.97 --occupancy --period "
                                "1m\"\n" + coastTask + ",\"coast\",,\"on\",0,,,,,\"--single 881.52\"\n")
        << coastCsv.err;
    const auto enabled = [&] { return server->scalar("net", "SELECT enabled FROM zarn.tasks WHERE id = " + sweepTask); };
    for (const auto& [verb, after] : {std::pair("stop", "f"), std::pair("start", "t"), std::pair("stop", "f")}) {
        const Outcome o = zarnlog({"task", verb, sweepTask, "--archive", as("net_operator")});
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(enabled(), after) << verb;
    }
    EXPECT_EQ(zarnlog({"task", "rm", sweepTask, "--archive", as("net_operator")}).status, 0);
    const Outcome again = zarnlog({"task", "start", sweepTask, "--archive", as("net_operator")});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("there is no task " + sweepTask), std::string::npos) << again.err;
    const Outcome runs = zarnlog({"task", "runs", "--site", "hill", "--archive", as("hill_rec")});
    EXPECT_NE(runs.out.find(" " + hillSurvey + " "), std::string::npos) << runs.out << runs.err;

    // A site with surveys stays; one without goes, and its role keeps nothing it was granted.
    const Outcome keep = zarnlog({"site", "rm", "hill", "--archive", as("net_operator")});
    EXPECT_EQ(keep.status, 1);
    EXPECT_NE(keep.err.find("the site \"hill\" has 2 surveys: it stays"), std::string::npos) << keep.err;
    const Outcome gone = zarnlog({"site", "rm", "spare", "--archive", as("net_operator")});
    EXPECT_EQ(gone.status, 0) << gone.err;
    EXPECT_NE(zarn::testing::runSql(as("spare_rec"), "SELECT count(*) FROM zarn.logs").error.find("permission denied"),
              std::string::npos);

    // The owner, no superuser, obeys the policies and still keeps the archive.
    const std::string records = count("net", "zarn.records");
    const Outcome compact = zarnlog({"db", "compact", "--archive", as("net_owner")});
    EXPECT_EQ(compact.status, 0) << compact.err;
    EXPECT_EQ(compact.out.find("compacted 0 "), std::string::npos) << compact.out;
    EXPECT_EQ(count("net", "zarn.records"), records);
    unsetenv("PGPASSFILE");
}
