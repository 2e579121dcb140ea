// --on-alarm runs: one at a time for a rule while another rule's runs beside it, a run
// past its limit stopped, the changes still waiting at the end said and dropped, and
// nothing of it waits on the program.
#include "tools/zarn_record/alarm_programs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
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

}  // namespace
}  // namespace zarn
