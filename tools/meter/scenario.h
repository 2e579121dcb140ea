#pragma once
// One measured run: a private Xvfb, zarn-board-sim in a scratch device root, zarn
// on that display at the given scale, brought by pointer clicks to the screen to
// measure, left to settle, then watched for a while.

#include <string>
#include <vector>

#include "tools/meter/proc_sample.h"
#include "tools/meter/stats_file.h"

namespace zarn::meter {

enum class Screen { Spectrum, MainMenu };

struct ScenarioOptions {
    Screen screen = Screen::Spectrum;
    double seconds = 20;
    double settleSeconds = 3;
    int scale = 2;
    std::string displaySize = "1024x768";
    std::string zarn;
    std::string sim;
};

struct Measurement {
    double seconds = 0;
    double cpuShare = 0;  // of one core
    std::vector<ThreadTime> threads;  // processor time over the run, by thread name
    double serverCpuShare = 0;        // the X server's, of one core
    long residentKb = 0;
    long peakResidentKb = 0;  // highest resident size seen during the run
    PresentCounts counts;
    double machineBusyShare = 0;  // of all cores, zarn excluded (the X server and simulator not)
    double loadBefore = 0, loadAfter = 0;
    int cores = 1;
};

// False with a reason when a step could not be done.
bool runScenario(const ScenarioOptions& options, Measurement& out, std::string& error);

}  // namespace zarn::meter
