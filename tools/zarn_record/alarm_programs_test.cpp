// --on-alarm runs: one at a time for a rule while another rule's runs beside it, a run
// past its limit stopped, the changes still waiting at the end said and dropped, and
// nothing of it waits on the program; a run's environment: the alarm and a few
// variables, never the recorder's secrets.
#include "tools/zarn_record/alarm_programs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

namespace zarn {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Folder {
    Folder() {
        char name[] = "/tmp/zarn-on-alarm-XXXXXX";
        path = mkdtemp(name) ? name : "";
    }
    ~Folder() { fs::remove_all(path); }
    std::string file(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

AlarmState state(const std::string& name, bool raised) {
    return {name, name + ": 881.52 > -70 for 1 hysteresis 3", raised, 1, "2024-05-14T11:00:12", 881520000, -888};
}

std::vector<std::string> lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// Polls as the recorder's loop does, until `done` or the time is up.
template <typename Done>
bool pollUntil(AlarmPrograms& programs, Done done, std::chrono::milliseconds most) {
    const auto end = Clock::now() + most;
    while (Clock::now() < end) {
        programs.poll();
        if (done()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

TEST(AlarmPrograms, OneRunAtATimeForARuleAndARunPastItsLimitIsStopped) {
    Folder dir;
    // Each run notes its start and its end; a run for "slow" outlasts any limit.
    const std::string program = dir.file("on-alarm");
    std::ofstream(program) << "#!/bin/sh\necho \"start $ZARN_ALARM_NAME $ZARN_ALARM_STATE\" >> " << dir.file("runs")
                           << "\n[ \"$ZARN_ALARM_NAME\" = slow ] && exec sleep 60\nsleep 0.3\necho \"end "
                           << "$ZARN_ALARM_NAME $ZARN_ALARM_STATE\" >> " << dir.file("runs") << "\n";
    chmod(program.c_str(), 0700);
    AlarmRule rule;
    AlarmPrograms programs(program, 1, 2);

    const auto begun = Clock::now();
    programs.changed(0, rule, state("hot", true));
    programs.changed(0, rule, state("hot", false));
    programs.changed(1, rule, state("slow", true));
    EXPECT_LT(Clock::now() - begun, 200ms) << "nothing waits on a run";
    ASSERT_TRUE(pollUntil(programs, [&] { return lines(dir.file("runs")).size() == 5; }, 5s));
    const std::vector<std::string> runs = lines(dir.file("runs"));
    // The rule's second run began after its first ended; the other rule's ran beside them.
    const auto at = [&](const std::string& line) { return std::find(runs.begin(), runs.end(), line) - runs.begin(); };
    EXPECT_LT(at("end hot ON"), at("start hot OFF"));
    EXPECT_LT(at("start slow ON"), at("end hot ON"));

    // The slow run is stopped at its limit of a second, and its rule can run again.
    testing::internal::CaptureStderr();
    EXPECT_TRUE(pollUntil(programs, [&] { return Clock::now() - begun > 1500ms; }, 3s));
    programs.changed(1, rule, state("slow", false));
    ASSERT_TRUE(pollUntil(programs, [&] { return lines(dir.file("runs")).size() == 6; }, 3s));
    EXPECT_EQ(lines(dir.file("runs")).back(), "start slow OFF");
    programs.changed(1, rule, state("slow", true));  // waits on the slow run: dropped at the end
    programs.finish(Clock::now() + 500ms);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("--on-alarm " + program + " for slow ON still runs after 1 s: stopped"), std::string::npos)
        << said;
    EXPECT_NE(said.find("1 run(s) for slow not made: the recording ended"), std::string::npos) << said;
    EXPECT_NE(said.find("for slow OFF still runs at the end: killed"), std::string::npos) << said;
}

TEST(AlarmPrograms, ARunHasTheAlarmAndASmallEnvironmentButNoneOfTheRecordersSecrets) {
    const std::vector<std::pair<const char*, const char*>> recorders{
        {"PGPASSWORD", "s3cret-pg"},          {"ZARN_ARCHIVE", "host=db password=s3cret-conninfo"},
        {"ZARN_MQTT", "mqtt://broker.example.net"}, {"ZARN_ALARM_NAME", "stale"},
        {"LC_TIME", "C.UTF-8"},               {"TZ", "Europe/Oslo"}};
    for (const auto& [name, value] : recorders) setenv(name, value, 1);
    AlarmPrograms programs("/usr/bin/env", 5, 1);  // prints its environment on the recorder's stderr
    testing::internal::CaptureStderr();
    programs.changed(0, AlarmRule{}, state("hot", true));
    programs.finish(Clock::now() + 5s);
    const std::string said = testing::internal::GetCapturedStderr();
    for (const auto& [name, value] : recorders) unsetenv(name);

    std::map<std::string, std::string> env;
    std::istringstream lines(said);
    for (std::string line; std::getline(lines, line);)
        if (const size_t equals = line.find('='); equals != std::string::npos)
            env[line.substr(0, equals)] = line.substr(equals + 1);
    const std::set<std::string> mayPass{"PATH", "HOME", "USER", "LOGNAME", "LANG", "LANGUAGE", "TZ"};
    for (const auto& [name, value] : env)
        EXPECT_TRUE(mayPass.count(name) || name.rfind("LC_", 0) == 0 || name.rfind("ZARN_ALARM_", 0) == 0)
            << name << "=" << value;
    EXPECT_EQ(said.find("s3cret"), std::string::npos) << said;
    EXPECT_TRUE(env.count("PATH")) << said;
    EXPECT_EQ(env["TZ"], "Europe/Oslo");
    EXPECT_EQ(env["LC_TIME"], "C.UTF-8");
    EXPECT_EQ(env["ZARN_ALARM_NAME"], "hot") << "the alarm's own, not one the recorder had";
    EXPECT_EQ(env["ZARN_ALARM_STATE"], "ON");
    EXPECT_EQ(env["ZARN_ALARM_MHZ"], "881.52");
    EXPECT_EQ(env["ZARN_ALARM_DBM"], "-55.5");
    EXPECT_EQ(env["ZARN_ALARM_TIME"], "2024-05-14T11:00:12");
}

}  // namespace
}  // namespace zarn
