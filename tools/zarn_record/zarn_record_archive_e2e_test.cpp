// The survey archive end to end: zarn-record against zarn-board-sim while the real gpsd,
// under gpsfake, replays a drive, its log pushed by zarnlog into a real PostgreSQL with
// PostGIS and read back as QGIS reads it; zarn-record --archive following its log through
// a database stopped for 20 s, and a recorder killed whose log a push completes; each
// filed under the site ZARN_SITE or --site names.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "testing/gps_fake.h"
#include "testing/record_child.h"
#include "testing/servers/postgres_server.h"
#include "testing/servers/run_program.h"
#include "testing/servers/wait_until.h"
#include "testing/sim_device.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;
using testing::PostgresServer;
using testing::RecordChild;

const std::string kDrive = std::string(ZARN_SOURCE_DIR) + "/tests/gps/drive.nmea";
constexpr double kCycle = 0.033;  // ten drive seconds a second

std::vector<std::string> fieldsOf(const std::string& line) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (char c : line) {
        if (c == '"') quoted = !quoted;
        else if (c == ',' && !quoted) out.emplace_back();
        else out.back() += c;
    }
    return out;
}

// The time `ahead` from now, as zarnlog takes it.
std::string utcIn(std::chrono::seconds ahead) {
    const std::time_t t = std::time(nullptr) + ahead.count();
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    return text;
}

struct Position {
    double lat, lon;
};

// The places zarnlog map gives the single-channel records, in record order.
std::vector<Position> mapPositions(const std::string& log, const std::string& folder, std::string& output) {
    const auto run = testing::runProgram({ZARNLOG_PATH, "map", log, "-o", folder + "/map.csv"});
    output = run.output;
    std::ifstream in(folder + "/map-single.csv");
    std::vector<Position> out;
    std::string line;
    std::getline(in, line);  // the header
    while (std::getline(in, line)) {
        const auto f = fieldsOf(line);
        out.push_back({std::stod(f[f.size() - 2]), std::stod(f.back())});
    }
    return out;
}

class ArchiveE2e : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new PostgresServer;
        std::string error;
        ASSERT_TRUE(server->start(error)) << error;
        ASSERT_TRUE(server->createDatabase("team", PostgresServer::WithPostgis, error)) << error;
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(device.start(ZARN_BOARD_SIM_PATH, {}, error)) << error;
        log = device.root + "/survey.zrn";
    }
    void startGps() {
        std::string error;
        ASSERT_TRUE(gps.start(kDrive, kCycle, error)) << error;
    }
    bool record(std::vector<std::string> args, bool withGps, const char* site = nullptr) {
        args.insert(args.end(), {"--single", "881.52", "-o", log});
        std::vector<std::pair<std::string, std::string>> env{{"ZARN_ROOT", device.root}};
        if (withGps) env.emplace_back("ZARN_GPSD", gps.address());
        if (site) env.emplace_back("ZARN_SITE", site);
        return child.start(args, env);
    }
    static std::string archived(const std::string& what) { return server->scalar("team", what); }
    static size_t stored() {
        const auto r = server->sql("team", "SELECT count(*) FROM zarn.records r JOIN zarn.logs l ON l.id = r.survey "
                                           "WHERE l.file_name = 'survey.zrn'");
        return r.ok() ? std::stoul(*r.rows[0][0]) : 0;
    }
    // The archive's places of the survey's placed single-channel records, in record order.
    static std::vector<Position> archivedPositions() {
        std::vector<Position> out;
        for (const auto& row : server->sql("team", "SELECT ST_Y(geom), ST_X(geom) FROM zarn.single_channel "
                                                   "WHERE geom IS NOT NULL ORDER BY record_no")
                                   .rows)
            out.push_back({std::stod(*row[0]), std::stod(*row[1])});
        return out;
    }
    static void expectSamePlaces(const std::vector<Position>& archive, const std::vector<Position>& map) {
        ASSERT_EQ(archive.size(), map.size());
        for (size_t i = 0; i < map.size(); ++i) {
            EXPECT_NEAR(archive[i].lat, map[i].lat, 1e-9) << i;
            EXPECT_NEAR(archive[i].lon, map[i].lon, 1e-9) << i;
        }
    }
    size_t logged() const { return testing::readLogged(log).records.size(); }
    size_t said(const std::string& text) const {
        const std::string err = child.err();
        size_t n = 0;
        for (size_t at = err.find(text); at != std::string::npos; at = err.find(text, at + 1)) ++n;
        return n;
    }

    static inline PostgresServer* server = nullptr;
    SimDevice device;
    testing::GpsFake gps;
    RecordChild child;
    std::string log;
};

}  // namespace

TEST_F(ArchiveE2e, ARecordedSurveyPushedHoldsItsRecordsOnceAtMapsPlacesAndReadsBackThroughGdal) {
    ASSERT_NO_FATAL_FAILURE(startGps());
    ASSERT_TRUE(record({"--seconds", "7"}, true));
    ASSERT_EQ(child.wait(30s), 0) << child.err();
    const size_t records = logged();
    ASSERT_GT(records, 20u);

    const std::string conninfo = server->conninfo("team");
    for (int push = 0; push < 2; ++push) {
        const auto run = testing::runProgram({ZARNLOG_PATH, "push", log, "--archive", conninfo});
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_NE(run.output.find("pushed " + std::to_string(records) + " records (" +
                                  std::to_string(push ? 0 : records) + " new)"),
                  std::string::npos)
            << run.output;
    }
    EXPECT_EQ(archived("SELECT count(*) FROM zarn.records"), std::to_string(records));
    // One reading a measurement: PCS was never measured, so it gives none.
    const size_t singles = records - testing::kBoardFrames;
    EXPECT_EQ(archived("SELECT count(*) FROM zarn.readings WHERE kind = 'single'"), std::to_string(singles));
    EXPECT_EQ(archived("SELECT count(*) FROM zarn.readings WHERE round(mhz * 1e6) = 881520000"), std::to_string(singles));

    std::string output;
    const std::vector<Position> map = mapPositions(log, device.root, output);
    ASSERT_GT(map.size(), records / 2) << output;
    expectSamePlaces(archivedPositions(), map);

    // As QGIS reads it: a point layer per record type, with its features.
    const std::string pg = "PG:" + conninfo;
    const auto layers = testing::runProgram({"ogrinfo", "-ro", "-q", pg});
    ASSERT_EQ(layers.status, 0) << layers.output;
    for (const char* layer : {"zarn.single_channel (Point)", "zarn.channel_table (Point)", "zarn.spectrum (Point)",
                              "zarn.best_servers (Point)", "zarn.notes (Point)", "zarn.readings (Point)"})
        EXPECT_NE(layers.output.find(layer), std::string::npos) << layers.output;
    const auto single = testing::runProgram({"ogrinfo", "-ro", "-so", pg, "zarn.single_channel"});
    EXPECT_NE(single.output.find("Feature Count: " + std::to_string(singles)), std::string::npos) << single.output;
    EXPECT_NE(single.output.find("cellular_dbm: Real"), std::string::npos) << single.output;
}

TEST_F(ArchiveE2e, RecordingOnThroughADatabaseStoppedFor20sEveryRecordReachesItOnceAtMapsPlaces) {
    ASSERT_NO_FATAL_FAILURE(startGps());
    ASSERT_TRUE(record({"--seconds", "30", "--archive", server->conninfo("team")}, true, "east"));
    ASSERT_TRUE(testing::waitUntil([&] { return stored() >= 10; }, 15s)) << child.err();
    server->stop();
    EXPECT_TRUE(testing::waitUntil([&] { return said("the archive is tried again") == 1; }, 10s)) << child.err();
    std::this_thread::sleep_for(20s);
    std::string error;
    ASSERT_TRUE(server->start(error)) << error;
    ASSERT_EQ(child.wait(40s), 0) << child.err();

    const size_t records = logged();
    EXPECT_EQ(stored(), records);
    EXPECT_EQ(archived("SELECT count(DISTINCT record_no) FROM zarn.records"), std::to_string(records));
    EXPECT_EQ(archived("SELECT max(record_no) + 1 FROM zarn.records"), std::to_string(records));
    EXPECT_EQ(said("the archive is tried again"), 1u) << child.err();
    EXPECT_EQ(said("takes records again"), 1u) << child.err();
    EXPECT_EQ(said("not in the archive"), 0u) << child.err();
    EXPECT_NE(child.err().find("archive 0 behind"), std::string::npos) << child.err();
    EXPECT_EQ(archived("SELECT site FROM zarn.logs"), "east");

    // The places it gave while the track grew are those of the whole track.
    std::string output;
    const std::vector<Position> map = mapPositions(log, device.root, output);
    ASSERT_GT(map.size(), 20u) << output;
    expectSamePlaces(archivedPositions(), map);
}

TEST_F(ArchiveE2e, ARecorderKilledLeavesALogWhosePushCompletesTheSurvey) {
    ASSERT_TRUE(record({"--archive", server->conninfo("team"), "--site", "north"}, false, "east"));
    ASSERT_TRUE(testing::waitUntil([&] { return stored() >= 5; }, 15s)) << child.err();
    child.signal(SIGKILL);
    child.wait(5s);
    const size_t records = logged();
    const auto run = testing::runProgram({ZARNLOG_PATH, "push", log, "--archive", server->conninfo("team")});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(stored(), records);
    EXPECT_EQ(archived("SELECT max(record_no) + 1 FROM zarn.records"), std::to_string(records));
    EXPECT_EQ(archived("SELECT string_agg(site, ',') FROM zarn.logs"), "north") << "--site, not ZARN_SITE";
}

// A registered site's recorder writes its health and events beside its records, on the archive's own
// connection: its board lost is told; killed, it falls silent in `zarnlog site list` after three heartbeats.
TEST_F(ArchiveE2e, ARegisteredSiteTellsItsHealthAndGoesSilentWhenKilled) {
    std::string error;
    ASSERT_TRUE(server->createRole("west_rec", "west's own", error)) << error;
    const std::string conninfo = server->conninfo("team");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"db", "init"},
                                                 std::vector<std::string>{"site", "add", "west", "--role", "west_rec"}}) {
        std::vector<std::string> command{ZARNLOG_PATH};
        command.insert(command.end(), args.begin(), args.end());
        command.insert(command.end(), {"--archive", conninfo});
        const auto run = testing::runProgram(command);
        ASSERT_EQ(run.status, 0) << run.output;
    }
    ASSERT_TRUE(record({"--archive", conninfo, "--site", "west", "--heartbeat", "1"}, false));
    const auto health = [&](const std::string& column) {
        const auto r = server->sql("team", "SELECT " + column + " FROM zarn.health WHERE site = 'west'");
        return r.ok() && !r.rows.empty() && r.rows[0][0] ? *r.rows[0][0] : std::string();
    };
    ASSERT_TRUE(testing::waitUntil([&] { return !health("at").empty() && std::stoll(health("records")) >= 3; }, 15s))
        << child.err();
    EXPECT_EQ(health("state"), "recording");
    EXPECT_EQ(health("log"), log);
    EXPECT_EQ(health("version").empty(), false);
    EXPECT_GT(std::stoll(health("disk_free")), 0);
    EXPECT_EQ(archived("SELECT string_agg(kind, ',') FROM zarn.events WHERE site = 'west'"), "started");
    const auto listed = [&] {
        const auto run = testing::runProgram({ZARNLOG_PATH, "site", "list", "--csv", "--archive", conninfo});
        return run.output;
    };
    EXPECT_NE(listed().find("\"west\",\"west_rec\","), std::string::npos) << listed();
    EXPECT_NE(listed().find(",\"recording\","), std::string::npos) << listed();

    // The board gone: told at the next heartbeat, and as an event with its time.
    device.sim.killHard();
    EXPECT_TRUE(testing::waitUntil([&] { return health("state") == "board lost"; }, 10s)) << child.err();
    EXPECT_EQ(archived("SELECT string_agg(kind, ',' ORDER BY at) FROM zarn.events WHERE site = 'west'"),
              "started,board lost");
    EXPECT_EQ(archived("SELECT count(*) FROM zarn.events WHERE site = 'west' AND at > now()"), "0");

    child.signal(SIGKILL);
    child.wait(5s);
    EXPECT_TRUE(testing::waitUntil([&] { return listed().find(",\"silent\",") != std::string::npos; }, 15s)) << listed();
    EXPECT_EQ(archived("SELECT count(*) FROM zarn.events WHERE site = 'west' AND kind = 'stopped'"), "0");
}

// A site that follows its tasks, logged in as its own role: a task added from the desk is picked up by the
// running recorder, which records a log for the run and ships it; the run is in zarn.task_runs with its
// survey and every record; the task stopped ends the run, and the recorder waits for the next, between
// tasks; one added while its connection is cut starts once it is back, and ends at its --for; the site
// restarted while the server is stopped follows the tasks it kept; stopped again after a run that ended in
// the outage and started once more, it loses neither the run nor its events: when the server is back, the
// run's log reaches the archive whole, each record once, and the run is recorded with its survey. The board
// is brought up once a start, never for a run; lost and found again between tasks, it is told in the site's
// health and as events. Killed, the site falls silent.
TEST_F(ArchiveE2e, ASiteRunsTasksFromTheDeskThroughACutConnectionAndAStoppedServer) {
    std::string error;
    ASSERT_TRUE(server->createRole("east_rec", "east's own", error)) << error;
    const std::string owner = server->conninfo("team");
    const auto zarnlog = [&](std::vector<std::string> args) {
        args.insert(args.begin(), ZARNLOG_PATH);
        args.insert(args.begin() + 3, {"--archive", owner});
        return testing::runProgram(args);
    };
    ASSERT_EQ(zarnlog({"db", "init"}).status, 0);
    ASSERT_EQ(zarnlog({"site", "add", "east", "--role", "east_rec"}).status, 0);
    const std::string runs = device.root + "/runs";
    std::filesystem::create_directory(runs);
    const std::vector<std::string> site{"--tasks", "--archive", server->roleConninfo("east_rec", "team"), "--site",
                                        "east",    "-o",        runs,          "--heartbeat", "1",
                                        "--archive-drain", "1"};
    const std::vector<std::pair<std::string, std::string>> env{
        {"ZARN_ROOT", device.root}, {"PGPASSFILE", server->writePgpass("east_rec", "east's own")}};
    ASSERT_TRUE(child.start(site, env));
    std::this_thread::sleep_for(1s);  // idle, listening
    const auto added = zarnlog({"task", "add", "--site", "east", "--name", "watch", "--", "--single", "881.52"});
    ASSERT_EQ(added.status, 0) << added.output;
    const std::string task = added.output.substr(0, added.output.find('\n'));
    const auto logOfRun = [&] {
        for (const auto& entry : std::filesystem::directory_iterator(runs))
            if (entry.path().extension() == ".zrn") return entry.path().string();
        return std::string();
    };
    const auto started = [&] { return archived("SELECT count(*) FROM zarn.events WHERE kind = 'task started'"); };
    ASSERT_TRUE(testing::waitUntil([&] { return started() == "1"; }, 10s)) << child.err();
    const auto logged = [&] { return logOfRun().empty() ? 0 : testing::readLogged(logOfRun()).records.size(); };
    ASSERT_TRUE(testing::waitUntil([&] { return logged() >= 5; }, 15s)) << child.err();
    const std::string runLog = logOfRun();
    EXPECT_EQ(std::filesystem::path(runLog).filename().string().rfind("east-task-" + task + "-", 0), 0u) << runLog;
    EXPECT_EQ(archived("SELECT count(*) FROM zarn.task_runs"), "0");
    const auto health = [&] { return archived("SELECT state || ' ' || coalesce(task::text, '-') FROM zarn.health"); };
    EXPECT_TRUE(testing::waitUntil([&] { return health() == "recording " + task; }, 5s)) << health();

    const auto stopped = zarnlog({"task", "stop", task});
    ASSERT_EQ(stopped.status, 0) << stopped.output;
    ASSERT_TRUE(testing::waitUntil([&] { return archived("SELECT count(*) FROM zarn.task_runs") == "1"; }, 20s))
        << child.err();
    const size_t records = testing::readLogged(runLog).records.size();
    EXPECT_EQ(archived("SELECT r.task || ' ' || r.outcome || ' ' || r.records || ' ' || s.file_name || ' ' || "
                       "s.record_count FROM zarn.task_runs r JOIN zarn.surveys s ON s.id = r.survey"),
              task + " stopped " + std::to_string(records) + " " + std::filesystem::path(runLog).filename().string() +
                  " " + std::to_string(records));
    std::this_thread::sleep_for(2s);  // a stopped task does not come back
    EXPECT_EQ(testing::readLogged(runLog).records.size(), records);
    EXPECT_EQ(archived("SELECT string_agg(kind, ',' ORDER BY id) FROM zarn.events WHERE kind LIKE 'task%'"),
              "task started,task ended");
    EXPECT_TRUE(testing::waitUntil([&] { return health() == "between tasks -"; }, 5s)) << health();

    EXPECT_EQ(archived("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE usename = 'east_rec'"), "1");
    const auto later = zarnlog({"task", "add", "--site", "east", "--for", "3s", "--", "--single", "869.04"});
    ASSERT_EQ(later.status, 0) << later.output;
    ASSERT_TRUE(testing::waitUntil([&] { return archived("SELECT count(*) FROM zarn.task_runs") == "2"; }, 25s))
        << child.err();
    EXPECT_EQ(archived("SELECT outcome || ' ' || (records > 0 AND survey IS NOT NULL) FROM zarn.task_runs "
                       "ORDER BY id DESC LIMIT 1"),
              "done true");

    // Restarted while the server is away, the site follows the tasks kept beside its logs: the one that
    // falls due then runs in the outage. Stopped after it and started again, the site keeps the run, and
    // its log and run reach the archive whole once the server is back.
    const auto through = zarnlog({"task", "add", "--site", "east", "--from", utcIn(5s), "--for", "5s", "--",
                                  "--single", "881.52"});
    ASSERT_EQ(through.status, 0) << through.output;
    const std::string third = through.output.substr(0, through.output.find('\n'));
    const auto kept = [&] { return testing::readWholeFile(runs + "/.zarn-tasks-east").find("\ntask " + third + " "); };
    ASSERT_TRUE(testing::waitUntil([&] { return kept() != std::string::npos; }, 5s)) << child.err();
    server->stop();
    child.signal(SIGTERM);
    ASSERT_EQ(child.wait(10s), 0) << child.err();
    RecordChild outage;
    ASSERT_TRUE(outage.start(site, env));
    ASSERT_TRUE(testing::waitUntil([&] { return outage.err().find("task " + third + " ended: done") != std::string::npos; },
                                   20s))
        << outage.err();
    EXPECT_NE(outage.err().find("tasks last known"), std::string::npos) << outage.err();
    outage.signal(SIGTERM);
    ASSERT_EQ(outage.wait(10s), 0) << outage.err();
    RecordChild restarted;
    ASSERT_TRUE(restarted.start(site, env));
    ASSERT_TRUE(testing::waitUntil([&] { return restarted.err().find("not yet recorded: 1") != std::string::npos; },
                                   10s))
        << restarted.err();
    ASSERT_TRUE(server->start(error)) << error;
    ASSERT_TRUE(testing::waitUntil([&] { return archived("SELECT count(*) FROM zarn.task_runs") == "3"; }, 30s))
        << restarted.err();
    const std::string last = archived("SELECT s.file_name FROM zarn.task_runs r JOIN zarn.surveys s ON s.id = r.survey "
                                      "ORDER BY r.id DESC LIMIT 1");
    const size_t whole = testing::readLogged(runs + "/" + last).records.size();
    EXPECT_GT(whole, 10u);
    const std::string n = std::to_string(whole);
    EXPECT_EQ(archived("SELECT r.task || ' ' || r.outcome || ' ' || r.records || ' ' || s.record_count || ' ' || (SELECT "
                       "count(*) || ' ' || count(DISTINCT record_no) || ' ' || max(record_no) + 1 FROM zarn.records "
                       "WHERE survey = s.id) FROM zarn.task_runs r JOIN zarn.surveys s ON s.id = r.survey ORDER BY "
                       "r.id DESC LIMIT 1"),
              third + " done " + n + " " + n + " " + n + " " + n + " " + n);

    // Between tasks the board gone and found again; the board brought up once each time the site started,
    // never for a run.
    device.sim.stop();  // its capture whole
    const auto sent = testing::requestFrames(testing::readWholeFile(device.capturePath()));
    EXPECT_EQ(std::count(sent.begin(), sent.end(), std::vector<uint8_t>{1}), 3) << "three starts, three runs";
    EXPECT_TRUE(testing::waitUntil([&] { return health() == "board lost -"; }, 10s)) << health();
    SimProcess back;
    ASSERT_TRUE(back.start(ZARN_BOARD_SIM_PATH, {}, error)) << error;
    EXPECT_TRUE(testing::waitUntil([&] { return health() == "between tasks -"; }, 10s)) << restarted.err();
    EXPECT_EQ(archived("SELECT string_agg(kind, ',' ORDER BY at) FROM zarn.events WHERE kind LIKE 'board%'"),
              "board lost,board back");
    EXPECT_EQ(started(), "3") << "the run that began while the server was away, kept and told once it was back";

    // Killed between tasks: silent once three heartbeats have gone by without one.
    const auto state = [&] {
        return testing::runProgram({ZARNLOG_PATH, "site", "list", "--csv", "--archive", owner}).output;
    };
    EXPECT_NE(state().find(",\"between tasks\","), std::string::npos) << state();
    restarted.signal(SIGKILL);
    restarted.wait(5s);
    EXPECT_TRUE(testing::waitUntil([&] { return state().find(",\"silent\",") != std::string::npos; }, 10s)) << state();
}

}  // namespace zarn
