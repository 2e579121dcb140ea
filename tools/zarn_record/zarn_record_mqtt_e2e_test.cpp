// zarn-record and a real mosquitto broker: the retained status, every record in the
// one JSON encoding and the occupancy periods arrive, and agree with zarnlog on the log;
// the broker killed and started again while an alarm is raised and cleared (on a scene
// that steps a carrier up and down): the recorder connects again, says its status
// again and delivers the alarm, the log has the alarms' notes a rule's duration after
// the steps and --on-alarm ran with the alarm in its environment; SIGKILL leaves the last
// will; TLS with the test's CA connects and a wrong CA is refused while the recording
// goes on.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "recording/log_reader.h"
#include "recording/log_units.h"
#include "recording/synthetic_log.h"
#include "survey/record_json.h"
#include "testing/record_child.h"
#include "testing/run_command.h"
#include "testing/servers/mosquitto_broker.h"
#include "testing/servers/mqtt_subscriber.h"
#include "testing/servers/wait_until.h"
#include "testing/sim_process.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nlohmann::json;
using testing::MosquittoBroker;
using testing::MosquittoOptions;
using testing::MqttConnection;
using testing::MqttMessage;
using testing::MqttSubscriber;
using testing::RecordChild;
using testing::waitUntil;

struct Folder {
    Folder() {
        char name[] = "/tmp/zarn-mqtt-e2e-XXXXXX";
        path = mkdtemp(name) ? name : "";
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
    std::string write(const std::string& name, const std::string& text, mode_t mode = 0600) const {
        std::ofstream(file(name)) << text;
        chmod(file(name).c_str(), mode);
        return file(name);
    }
    std::string path;
};

// A simulator of its own and zarn-record on its terminal, in a device root of its own.
struct Recorder {
    void start(const Folder& folder, std::vector<std::string> simArgs, std::vector<std::string> args) {
        simArgs.push_back("--no-register");
        std::string error;
        ASSERT_TRUE(sim.start(ZARN_BOARD_SIM_PATH, simArgs, error)) << error;
        args.insert(args.end(), {"--port", sim.ptyPath()});
        ASSERT_TRUE(child.start(args, {{"ZARN_ROOT", folder.path}}, [] { unsetenv("ZARN_MQTT"); }));
    }
    bool said(const std::string& text) const { return child.err().find(text) != std::string::npos; }
    SimProcess sim;
    RecordChild child;
};

std::vector<json> payloads(const std::vector<MqttMessage>& messages) {
    std::vector<json> out;
    for (const MqttMessage& m : messages) out.push_back(json::parse(m.payload));
    return out;
}

// Each record of a log as the one encoder writes it.
std::vector<std::string> recordJsonOf(const std::string& log) {
    LogReader reader;
    LogHeader header;
    EXPECT_TRUE(reader.open(log) && reader.readHeader(header));
    RecordJson encoder(header.pcsRaster);
    std::vector<std::string> out;
    forEachRecord(reader, [&](const LogRecord& r) {
        out.emplace_back();
        encoder.append(r, out.back());
        return true;
    });
    return out;
}

std::vector<std::vector<std::string>> csvRows(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        rows.emplace_back();
        std::istringstream fields(line);
        for (std::string f; std::getline(fields, f, ',');) rows.back().push_back(f);
    }
    return rows;
}

class ZarnRecordMqtt : public ::testing::Test {
protected:
    void startBroker(MosquittoOptions options = {}) {
        broker = std::make_unique<MosquittoBroker>(options);
        std::string error;
        ASSERT_TRUE(broker->start(error)) << error;
    }
    void subscribe(const MqttConnection& to) {
        std::string error;
        ASSERT_TRUE(sub.connect(to, error)) << error;
        ASSERT_TRUE(sub.subscribe("zarn/#", error)) << error;
        ASSERT_TRUE(sub.subscribe("homeassistant/#", error)) << error;
    }
    std::unique_ptr<MosquittoBroker> broker;
    MqttSubscriber sub;
    Folder folder;
};

// A replayed survey of full cellular sweeps, four a second: the status, each record, the
// 2-second occupancy periods and Home Assistant's discovery reach the broker with a login
// read from a file; the periods are zarnlog occupancy's rows of the log recorded.
TEST_F(ZarnRecordMqtt, RecordsStatusAndOccupancyArriveAndAgreeWithZarnlogOnTheLog) {
    ASSERT_NO_FATAL_FAILURE(startBroker({{{"site", "s3:cret word"}}, false, false, false}));
    subscribe(MqttConnection::to(broker->port()).login("site", "s3:cret word"));
    const std::string survey = folder.file("survey.zrn"), log = folder.file("recorded.zrn");
    ASSERT_TRUE(writeCellularSweepLog(survey, 60, 250));
    const std::string auth = folder.write("mqtt-auth", "site\ns3:cret word\n");

    Recorder r;
    ASSERT_NO_FATAL_FAILURE(r.start(folder, {"--replay", survey, "--unpaced"},
                                    {"--spectrum", "870:893", "-o", log, "--seconds", "7", "--occupancy", "--period",
                                     "2s", "--threshold", "noise+6", "--alarm", "quiet: 881.52 < -130 for 1",
                                     "--mqtt", broker->url(), "--mqtt-auth", auth, "--site", "e2e",
                                     "--mqtt-discovery"}));
    ASSERT_EQ(r.child.wait(30s), 0) << r.child.err();
    EXPECT_TRUE(r.said("mqtt: connected to " + broker->url() + ", publishing under zarn/e2e/")) << r.child.err();

    // The status: online while it ran, retained, and offline after the clean end.
    ASSERT_TRUE(sub.waitFor([](const auto& all) {
        return !all.empty() && all.back().topic == "zarn/e2e/status" &&
               all.back().payload.rfind("{\"online\":false", 0) == 0;
    }, 10s)) << r.child.err();
    const std::vector<json> statuses = payloads(sub.messages("zarn/e2e/status"));
    EXPECT_EQ(statuses.front()["online"], true);
    EXPECT_EQ(statuses.front()["measurement"]["kind"], "spectrum");
    EXPECT_EQ(statuses.back()["online"], false);
    EXPECT_EQ(statuses.back()["outputs"][0]["name"], "mqtt");
    MqttSubscriber later;
    std::string error;
    ASSERT_TRUE(later.connect(MqttConnection::to(broker->port()).login("site", "s3:cret word"), error)) << error;
    ASSERT_TRUE(later.subscribe("zarn/e2e/#", error)) << error;
    const auto retained = later.waitForMessage("zarn/e2e/status", 5s);
    ASSERT_TRUE(retained);
    EXPECT_TRUE(retained->retained);
    EXPECT_EQ(json::parse(retained->payload)["online"], false);
    const auto quiet = later.waitForMessage("zarn/e2e/alarms/quiet", 5s);
    ASSERT_TRUE(quiet && quiet->retained);
    EXPECT_EQ(json::parse(quiet->payload)["state"], "OFF");

    // Every record, in order, as the log holds it.
    std::vector<std::string> records;
    for (const MqttMessage& m : sub.messages("zarn/e2e/records")) {
        EXPECT_FALSE(m.retained);
        EXPECT_EQ(m.qos, 0);
        records.push_back(m.payload);
    }
    const std::vector<std::string> logged = recordJsonOf(log);
    ASSERT_GE(logged.size(), 12u) << r.child.err();
    EXPECT_EQ(records, logged);

    // The periods: one message each, the rows of zarnlog occupancy of the log recorded.
    const testing::CommandRun zarnlog = testing::runCommand(std::string(ZARNLOG_PATH) + " occupancy " + log +
                                                            " --period 2s --threshold noise+6 -o " +
                                                            folder.file("occ.csv"));
    ASSERT_EQ(zarnlog.status, 0) << zarnlog.output;
    std::vector<std::vector<std::string>> rows = csvRows(folder.file("occ.csv"));
    rows.erase(rows.begin());
    const std::vector<json> periods = payloads(sub.messages("zarn/e2e/occupancy"));
    ASSERT_GE(periods.size(), 3u);
    size_t row = 0;
    for (const json& p : periods) {
        EXPECT_EQ(p["period_s"], 2);
        EXPECT_EQ(p["threshold"], "noise+6");
        for (const json& place : p["rows"]) {
            ASSERT_LT(row, rows.size());
            const std::vector<std::string>& csv = rows[row++];
            SCOPED_TRACE(p["period_start"].get<std::string>() + " " + csv[3]);
            EXPECT_EQ(csv[0], p["period_start"]);
            EXPECT_EQ(std::stod(csv[3]), place["mhz"].get<double>());
            EXPECT_EQ(std::stoull(csv[4]), place["samples"].get<uint64_t>());
            EXPECT_EQ(std::stoull(csv[5]), place["above"].get<uint64_t>());
            EXPECT_EQ(std::stod(csv[7]), place["mean_dbm"].get<double>());
            EXPECT_EQ(std::stod(csv[8]), place["max_dbm"].get<double>());
            EXPECT_EQ(std::stod(csv[9]), place["threshold_dbm"].get<double>());
        }
    }
    EXPECT_EQ(row, rows.size()) << "zarnlog has the rows of every period the recorder sent, and no more";

    // Home Assistant: the strongest level of the records, the alarm, the occupancy.
    const auto level = sub.messages("homeassistant/sensor/zarn_e2e/level/config");
    ASSERT_EQ(level.size(), 1u);
    EXPECT_EQ(json::parse(level[0].payload)["state_topic"], "zarn/e2e/records");
    ASSERT_TRUE(later.subscribe("homeassistant/#", error)) << error;
    const auto kept = later.waitForMessage("homeassistant/sensor/zarn_e2e/level/config", 5s);
    EXPECT_TRUE(kept && kept->retained) << "a dashboard started later finds the site";
    EXPECT_EQ(sub.messages("homeassistant/binary_sensor/zarn_e2e/alarm_quiet/config").size(), 1u);
    EXPECT_EQ(sub.messages("homeassistant/sensor/zarn_e2e/occupancy/config").size(), 1u);
}

// The scene's carrier at 881.52 MHz is on from 9 s to 15 s of the simulator's time; the
// rule raises 2 s after the step up and clears 2 s after the step down. The broker is
// killed once the recorder is connected and started again after the raise.
TEST_F(ZarnRecordMqtt, AlarmsComeTheirDurationAfterTheStepsAndReachTheBrokerAfterItsRestart) {
    ASSERT_NO_FATAL_FAILURE(startBroker());
    subscribe(MqttConnection::to(broker->port()));
    const std::string scene = folder.write("scene", "noise -110\ncarrier 0 881.52 -50 30 0 7 from 9 until 15\n", 0644);
    // A name a shell would take apart: the program is run as it is named.
    const std::string program = folder.write("on alarm; touch shell-ran",
                                             "#!/bin/sh\nenv | grep '^ZARN_ALARM_' > \"" + folder.path +
                                                 "/$ZARN_ALARM_NAME-$ZARN_ALARM_STATE.env\"\n",
                                             0700);
    const std::string log = folder.file("alarms.zrn");
    Recorder r;
    ASSERT_NO_FATAL_FAILURE(r.start(folder, {"--scene", scene},
                                    {"--single", "881.52", "-o", log, "--alarm", "hot: 881.52 > -70 for 2", "--on-alarm",
                                     program, "--mqtt", broker->url(), "--site", "alarms"}));
    ASSERT_TRUE(sub.waitForMessage("zarn/alarms/status", 15s)) << r.child.err();
    broker->kill();
    ASSERT_TRUE(waitUntil([&] { return r.said("ALARM hot ON"); }, 20s)) << r.child.err();
    std::string error;
    ASSERT_TRUE(broker->start(error)) << error;

    // Connected again: the status again, and the raise made while the broker was away.
    ASSERT_TRUE(waitUntil([&] { return sub.connections() >= 2 && sub.messages("zarn/alarms/alarms/hot").size() >= 2; },
                          20s))
        << r.child.err() << broker->log();
    EXPECT_GE(sub.messages("zarn/alarms/status").size(), 2u);
    EXPECT_TRUE(r.said("mqtt: lost the broker at " + broker->url())) << r.child.err();
    ASSERT_TRUE(waitUntil([&] { return r.said("ALARM hot OFF"); }, 15s)) << r.child.err();
    ASSERT_TRUE(waitUntil([&] {
        const auto hot = sub.messages("zarn/alarms/alarms/hot");
        return !hot.empty() && json::parse(hot.back().payload)["state"] == "OFF";
    }, 10s)) << r.child.err();
    std::vector<std::string> states;
    for (const json& p : payloads(sub.messages("zarn/alarms/alarms/hot"))) states.push_back(p["state"]);
    EXPECT_EQ(states, (std::vector<std::string>{"OFF", "ON", "OFF"})) << "the state at start, the raise, the clear";

    // SIGKILL: the broker says the last will.
    ASSERT_TRUE(waitUntil([&] {
        const testing::LoggedRecords now = testing::readLogged(log);
        const bool noted = std::any_of(now.records.begin(), now.records.end(),
                                       [](const testing::LoggedRecord& r) { return r.note == "ALARM hot OFF"; });
        return noted && fs::exists(folder.file("hot-OFF.env"));
    }, 10s));
    r.child.signal(SIGKILL);
    r.child.wait(5s);
    ASSERT_TRUE(sub.waitFor([](const auto& all) {
        return all.back().topic == "zarn/alarms/status" && json::parse(all.back().payload)["online"] == false;
    }, 10s));
    EXPECT_EQ(sub.messages("zarn/alarms/status").back().payload, "{\"online\":false}");

    // The notes: each in the record after the one that completed the rule's 2 s (ten
    // records at five a second) after the first record past the step, give or take one.
    const testing::LoggedRecords logged = testing::readLogged(log);
    const LogPlans plans(logged.pcsRaster);
    std::optional<size_t> up, down, on, off;
    for (size_t i = testing::kBoardFrames; i < logged.records.size(); ++i) {
        const testing::LoggedRecord& rec = logged.records[i];
        SingleChannelReading reading;
        const LogRecord record{0, {}, rec.note, rec.type, rec.payload.data(), rec.payload.size()};
        ASSERT_TRUE(decodeSingleChannel(plans, record, reading));
        const double dbm = dbmOfLevel(reading.band[0].level);
        if (!up && dbm > -70) up = i;
        if (up && !down && dbm < -73) down = i;
        if (rec.note == "ALARM hot ON") on = i;
        if (rec.note == "ALARM hot OFF") off = i;
    }
    ASSERT_TRUE(up && down && on && off);
    EXPECT_NEAR(static_cast<double>(*on), static_cast<double>(*up + 11), 1.0);
    EXPECT_NEAR(static_cast<double>(*off), static_cast<double>(*down + 11), 1.0);

    // --on-alarm ran for each, the alarm in its environment, and no shell took its name apart.
    std::map<std::string, std::string> env;
    std::ifstream in(folder.file("hot-ON.env"));
    for (std::string line; std::getline(in, line);) env[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    EXPECT_EQ(env["ZARN_ALARM_NAME"], "hot");
    EXPECT_EQ(env["ZARN_ALARM_STATE"], "ON");
    EXPECT_EQ(env["ZARN_ALARM_MHZ"], "881.52");
    EXPECT_GT(std::stod(env["ZARN_ALARM_DBM"]), -70);
    EXPECT_EQ(env["ZARN_ALARM_RULE"], "hot: 881.52 > -70 for 2 hysteresis 3");
    EXPECT_EQ(env["ZARN_ALARM_TIME"].size(), 19u) << "YYYY-MM-DDTHH:MM:SS";
    EXPECT_FALSE(fs::exists(folder.file("shell-ran")));
    EXPECT_FALSE(fs::exists("shell-ran"));
}

// Two recorders at once: one trusts the test's CA and shows a client certificate, the
// other trusts another CA; that one is refused, says why, and records all the same.
TEST_F(ZarnRecordMqtt, TlsWithTheTestCaConnectsAndAWrongCaIsRefusedWhileTheRecordingGoesOn) {
    ASSERT_NO_FATAL_FAILURE(startBroker({{}, true, true, false}));
    subscribe(MqttConnection::to(broker->port()));
    const testing::TestCertificates& tls = broker->certificates();
    Recorder good, wrong;
    const std::vector<std::string> common{"--single", "881.52", "--seconds", "4", "--mqtt", broker->tlsUrl()};
    std::vector<std::string> goodArgs = common, wrongArgs = common;
    goodArgs.insert(goodArgs.end(), {"-o", folder.file("good.zrn"), "--site", "good", "--mqtt-ca", tls.caFile,
                                     "--mqtt-cert", tls.clientCert, "--mqtt-key", tls.clientKey});
    wrongArgs.insert(wrongArgs.end(), {"-o", folder.file("wrong.zrn"), "--site", "wrong", "--mqtt-ca", tls.otherCaFile,
                                       "--mqtt-cert", tls.clientCert, "--mqtt-key", tls.clientKey});
    ASSERT_NO_FATAL_FAILURE(good.start(folder, {}, goodArgs));
    ASSERT_NO_FATAL_FAILURE(wrong.start(folder, {}, wrongArgs));
    EXPECT_EQ(good.child.wait(30s), 0) << good.child.err();
    EXPECT_EQ(wrong.child.wait(30s), 0) << wrong.child.err();

    EXPECT_TRUE(good.said("mqtt: connected to " + broker->tlsUrl())) << good.child.err();
    const auto status = sub.waitForMessage("zarn/good/status", 5s);
    ASSERT_TRUE(status);
    EXPECT_EQ(json::parse(status->payload)["online"], false) << "the clean end";
    EXPECT_FALSE(sub.messages("zarn/good/records").empty());

    EXPECT_TRUE(wrong.said("mqtt: cannot connect to " + broker->tlsUrl() + ": TLS: certificate verify failed"))
        << wrong.child.err();
    EXPECT_TRUE(wrong.said("--mqtt-ca " + tls.otherCaFile)) << wrong.child.err();
    EXPECT_TRUE(wrong.said("the recording goes on")) << wrong.child.err();
    EXPECT_TRUE(sub.messages("zarn/wrong/status").empty());
    EXPECT_GE(testing::readLogged(folder.file("wrong.zrn")).records.size(), 10u);
}

// Each mistake ends the run at once with status 2 and a message that points at it; no
// board is asked, no log begun.
TEST_F(ZarnRecordMqtt, EachMistakeInTheWatchOptionsIsAUsageErrorThatPointsAtIt) {
    const std::string out = folder.file("never.zrn");
    const std::string rules = folder.write("rules", "# site rules\nhot: 881.52 > -70 for 10\ncold 881.52 < -100 for 5\n");
    const std::string open = folder.write("open-auth", "site\npw\n", 0644);
    const std::string group = folder.write("group-auth", "site\npw\n", 0640);
    const std::string login = folder.write("login", "site\npw\n");
    const std::string notCa = folder.write("ca.pem", "-----BEGIN CERTIFICATE-----\nnot one\n", 0644);
    struct Case {
        std::vector<std::string> args;
        std::string says;
        std::string mqttEnvironment = "";
        std::string siteEnvironment = "";
    };
    const std::vector<std::string> single{"--single", "881.52", "-o", out};
    const auto with = [&](std::vector<std::string> more, std::vector<std::string> base = {}) {
        if (base.empty()) base = single;
        base.insert(base.end(), more.begin(), more.end());
        return base;
    };
    const std::vector<Case> cases{
        {with({"--alarm", "hot: 881.52 >> -70 for 10"}),
         "--alarm: column 14: a level in dBm expected\n  hot: 881.52 >> -70 for 10\n               ^\n"},
        {with({"--alarms", rules}), "--alarms " + rules + ":3:6: ':' expected after the name"},
        {with({"--alarm", "a: 881.52 > -70 for 1", "--alarm", "a: 881.52 < -90 for 1"}), "two alarm rules are named a"},
        {with({"--alarm", "pcs: 1962.5 > -70 for 1"}),
         "alarm pcs: the measurement measures nothing in 1962.50 MHz; it measures 881.52 MHz"},
        {with({"--alarm", "far: 890:893 > -70 for 1"}, {"--spectrum", "880:885", "-o", out}),
         "alarm far: the measurement measures nothing in 890.00:893.00 MHz; it sweeps 879.99 to 884.97 MHz every 0.03 MHz"},
        {with({"--occupancy", "--threshold", "-200"}), "--threshold '-200' dBm is outside -150..+30 dBm"},
        {with({"--occupancy", "--period", "0"}), "--period '0': a period is 1 s to a day"},
        {with({"--occupancy", "--period", "25h"}), "--period '25h': a period is 1 s to a day"},
        {with({"--threshold", "-90"}), "--threshold is for --occupancy"},
        {with({"--mqtt", "http://broker"}), "--mqtt 'http://broker' is not a broker URL"},
        {with({"--mqtt", "mqtt://site:pw@broker"}), "holds a user or password: give them in a file of mode 600"},
        {with({"--mqtt", "mqtt://broker:99999"}), "has a port that is not 1 to 65535"},
        {with({}), "ZARN_MQTT 'broker:1883' is not a broker URL", "broker:1883"},
        {with({"--mqtt", "mqtt://broker", "--mqtt-auth", open}),
         "--mqtt-auth " + open + " is readable by everyone (mode 0644); it holds a secret: chmod 600 " + open},
        {with({"--mqtt", "mqtt://broker", "--mqtt-auth", group}), "is readable by its group (mode 0640)"},
        {with({"--mqtt", "mqtt://broker", "--mqtt-auth", login}),
         "--mqtt-auth would send its password in clear to mqtt://broker: use mqtts://, or say --mqtt-insecure-auth"},
        {with({"--mqtt", "mqtts://broker", "--mqtt-ca", notCa}), "--mqtt-ca " + notCa + " does not load: "},
        {with({"--mqtt", "mqtt://broker", "--mqtt-ca", notCa}), "are for an mqtts:// broker"},
        {with({"--mqtt", "mqtt://broker", "--mqtt-topic", "zarn/+/x"}), "a topic prefix has no wildcard"},
        {with({"--mqtt-topic", "zarn/x"}), "--mqtt-topic needs a broker: --mqtt URL or ZARN_MQTT"},
        {with({"--site", "north"}), "--site names the site for --mqtt or --archive"},
        {with({"--mqtt", "mqtt://broker"}), "ZARN_SITE 'north/1' has '/', '+' or '#' in it", "", "north/1"},
        {with({"--site", "a+b"}), "--site 'a+b' has '/', '+' or '#' in it", "mqtt://broker"},
        {with({"--archive", "dbname=zarn", "--site", "x\xff"}), "--site: not valid UTF-8"},
        {with({"--archive", "dbname=zarn"}), "ZARN_SITE: not valid UTF-8", "", "x\xff"},
        {with({"--archive", "host=db password=hidden word"}), "--archive: not a conninfo libpq takes: a word without"},
        {with({"--alarm", "a: 881.52 > -70 for 1", "--on-alarm", folder.file("none")}),
         "--on-alarm " + folder.file("none") + ": no program of that name may be run"},
        {with({"--on-alarm", "/bin/true"}), "--on-alarm needs a rule"},
    };
    for (const Case& c : cases) {
        RecordChild bad;
        ASSERT_TRUE(bad.start(c.args, {{"ZARN_ROOT", folder.path}}, [&] {
            if (c.mqttEnvironment.empty()) unsetenv("ZARN_MQTT");
            else setenv("ZARN_MQTT", c.mqttEnvironment.c_str(), 1);
            if (c.siteEnvironment.empty()) unsetenv("ZARN_SITE");
            else setenv("ZARN_SITE", c.siteEnvironment.c_str(), 1);
        }));
        EXPECT_EQ(bad.wait(10s), 2) << c.says << "\n" << bad.err();
        EXPECT_EQ(bad.err().rfind("zarn-record: ", 0), 0u) << bad.err();
        EXPECT_NE(bad.err().find(c.says), std::string::npos) << c.says << "\n" << bad.err();
        EXPECT_EQ(bad.err().find("hidden"), std::string::npos) << "a password repeated: " << bad.err();
        EXPECT_FALSE(fs::exists(out));
    }
}

}  // namespace
}  // namespace zarn
