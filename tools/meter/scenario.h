#pragma once
// One measured run against zarn-board-sim in a scratch device root, then watched for a
// while:
//  - a screen of zarn: a private Xvfb, zarn on that display at the given scale, brought by
//    pointer clicks to the screen to measure, left to settle;
//  - zarn-record on an idle board: a simulator that answers every request but measures
//    nothing (it plays back a log without records), zarn-record logging single-channel
//    levels from it with its standard input open and quiet, as at a terminal nobody types
//    at; left to settle after its start-up.

#include <string>
#include <vector>

#include "tools/meter/proc_sample.h"
#include "tools/meter/stats_file.h"

namespace zarn::meter {

enum class Screen { Spectrum, MainMenu, IdleRecorder };

struct ScenarioOptions {
    Screen screen = Screen::Spectrum;
    double seconds = 20;
    double settleSeconds = 3;
    int scale = 2;
    std::string displaySize = "1024x768";
    std::string zarn;
    std::string record;
    std::string sim;
};

struct ThreadUse {
    std::string name;
    pid_t tid = 0;
    double cpuSeconds = 0;
    double wakeups = 0;  // context switches over the run
};

struct Measurement {
    double seconds = 0;
    double cpuShare = 0;  // of one core
    double wakeupsPerSecond = 0;  // every thread's together
    std::vector<ThreadUse> threads;  // over the run, each thread seen at its end
    double serverCpuShare = 0;        // the X server's, of one core
    long residentKb = 0;
    long peakResidentKb = 0;  // highest resident size seen during the run
    PresentCounts counts;
    double machineBusyShare = 0;  // of all cores, the program measured excluded (the X server and simulator not)
    double loadBefore = 0, loadAfter = 0;
    int cores = 1;
};

// False with a reason when a step could not be done.
bool runScenario(const ScenarioOptions& options, Measurement& out, std::string& error);

}  // namespace zarn::meter
