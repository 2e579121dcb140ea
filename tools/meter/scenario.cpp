#include "tools/meter/scenario.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "platform/sdl/x11_grab.h"
#include "platform/sdl/xvfb_server.h"
#include "recording/synthetic_log.h"
#include "testing/child_program.h"
#include "testing/sim_device.h"

namespace zarn::meter {

namespace {

using Clock = std::chrono::steady_clock;

// Device pixels (x, y on the 240 x 320 screen) of what the runs press.
struct Point {
    int x, y;
};
constexpr Point kRasterButton{120, 196};    // band-raster screen: 1900 (50kHz)
constexpr Point kSpectrumButton{120, 136};  // main menu: SPECTRUM ANALYSIS
constexpr Point kOkBox{221, 12};            // title bar while a dialog is up

void sleepFor(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

struct Window {
    std::string display;
    int scale;
    bool mapped() const {
        Surface ignored;
        return grabX11Window(display.c_str(), 240 * scale, 320 * scale, ignored);
    }
    bool click(Point p) const {
        return clickX11Window(display.c_str(), 240 * scale, 320 * scale, p.x * scale + scale / 2,
                              p.y * scale + scale / 2);
    }
};

bool bringUp(const ScenarioOptions& options, const Window& window, ChildProgram& zarn, std::string& error) {
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!window.mapped()) {
        if (!zarn.running()) {
            error = "zarn ended before its window appeared:\n" + zarn.output();
            return false;
        }
        if (Clock::now() > deadline) {
            error = "no zarn window appeared within 30 s";
            return false;
        }
        sleepFor(0.1);
    }
    sleepFor(1.0);
    bool ok = window.click(kRasterButton);
    sleepFor(1.5);
    if (ok && options.screen == Screen::Spectrum) {
        ok = window.click(kSpectrumButton);
        sleepFor(1.5);
        ok = ok && window.click(kOkBox);
    }
    if (!ok) error = "the X server took no clicks (XTEST)";
    return ok;
}

// Each thread seen at the end, from its first look (or its start, when it began during the run).
std::vector<ThreadUse> threadsSince(const ProcessSample& before, const ProcessSample& after) {
    std::map<pid_t, ThreadTime> was;
    for (const auto& t : before.threads) was[t.tid] = t;
    std::vector<ThreadUse> out;
    for (const auto& t : after.threads) {
        const ThreadTime first = was.count(t.tid) ? was[t.tid] : ThreadTime{};
        out.push_back({t.name, t.tid, t.cpuSeconds - first.cpuSeconds, static_cast<double>(t.switches - first.switches)});
    }
    return out;
}

// The program as it runs: its process, the X server's (-1 without one), its presents file.
struct Watched {
    ChildProgram& program;
    pid_t server = -1;
    std::string stats;
    const char* what;
};

bool watch(const ScenarioOptions& options, Watched w, Measurement& out, std::string& error) {
    PresentCounts countsBefore, countsAfter;
    if (!w.stats.empty()) readPresentCounts(w.stats, countsBefore);
    const MachineSample machineBefore = sampleMachine();
    const ProcessSample before = sampleProcess(w.program.pid());
    const ProcessSample serverBefore = w.server > 0 ? sampleProcess(w.server) : ProcessSample{};
    const auto start = Clock::now();
    long peak = before.residentKb;
    while (Clock::now() - start < std::chrono::duration<double>(options.seconds)) {
        sleepFor(0.5);
        peak = std::max(peak, sampleProcess(w.program.pid()).residentKb);
    }
    const ProcessSample after = sampleProcess(w.program.pid());
    const ProcessSample serverAfter = w.server > 0 ? sampleProcess(w.server) : ProcessSample{};
    const MachineSample machineAfter = sampleMachine();
    out.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!w.stats.empty()) readPresentCounts(w.stats, countsAfter);  // as stale as the first look: at most 250 ms
    if (!before.ok || !after.ok || !w.program.running()) {
        error = std::string(w.what) + " ended during the measurement:\n" + w.program.output();
        return false;
    }
    w.program.stop();

    const double cpu = after.cpuSeconds - before.cpuSeconds;
    out.cpuShare = cpu / out.seconds;
    out.threads = threadsSince(before, after);
    double wakeups = 0;
    for (const ThreadUse& t : out.threads) wakeups += t.wakeups;
    out.wakeupsPerSecond = wakeups / out.seconds;
    out.serverCpuShare = (serverAfter.cpuSeconds - serverBefore.cpuSeconds) / out.seconds;
    out.residentKb = after.residentKb;
    out.peakResidentKb = std::max(peak, after.residentKb);
    out.counts = countsAfter.since(countsBefore);
    const double machineBusy = machineAfter.busySeconds - machineBefore.busySeconds - cpu;
    const double machineTotal = machineAfter.totalSeconds - machineBefore.totalSeconds;
    out.machineBusyShare = machineTotal > 0 ? std::max(0.0, machineBusy / machineTotal) : 0;
    out.loadBefore = machineBefore.load1;
    out.loadAfter = machineAfter.load1;
    out.cores = machineAfter.cores;
    return true;
}

bool runScreen(const ScenarioOptions& options, Measurement& out, std::string& error) {
    XvfbServer server(options.displaySize + "x24");
    if (server.display().empty()) {
        error = "Xvfb did not start";
        return false;
    }
    SimDevice device;
    if (!device.start(options.sim, {}, error)) return false;
    // The whole cellular band, trace 1.
    std::ofstream(device.root + "/opts.zrn") << "0\n0\n881.52\n30\n";
    std::ofstream(device.root + "/optv.zrn") << "0\n9\n";
    const std::string stats = device.root + "/stats.txt";
    ChildProgram zarn(options.zarn, {},
                      {{"DISPLAY", server.display()},
                       {"SDL_VIDEODRIVER", "x11"},
                       {"ZARN_SCALE", std::to_string(options.scale)},
                       {"ZARN_STATS", stats}},
                      device.root + "/zarn.log");
    const Window window{server.display(), options.scale};
    if (!bringUp(options, window, zarn, error)) return false;
    sleepFor(options.settleSeconds);
    if (!watch(options, {zarn, server.pid(), stats, "zarn"}, out, error)) return false;
    if (options.screen == Screen::Spectrum && out.counts.updates < out.seconds * 5) {
        error = "the spectrum screen did not run: " + std::to_string(out.counts.updates) + " board updates";
        return false;
    }
    return true;
}

// A log with a header and no record: played back, it is a board that answers and measures nothing.
std::string writeEmptyLog(const std::string& folder) {
    const std::string path = folder + "/nothing.zrn";
    SyntheticLog log(path);
    if (!log.ok()) return {};
    log.close();
    return path;
}

bool runIdleRecorder(const ScenarioOptions& options, Measurement& out, std::string& error) {
    char tmpl[] = "/tmp/zarn-meter-XXXXXX";
    if (!mkdtemp(tmpl)) {
        error = "no temporary folder";
        return false;
    }
    const std::string folder = tmpl;
    struct Cleanup {
        std::string folder;
        ~Cleanup() {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    } cleanup{folder};
    const std::string emptyLog = writeEmptyLog(folder);
    if (emptyLog.empty()) {
        error = "cannot write " + folder + "/nothing.zrn";
        return false;
    }
    SimDevice device;
    if (!device.start(options.sim, {"--replay", emptyLog}, error)) return false;
    int input[2];
    if (pipe2(input, O_CLOEXEC) != 0) {
        error = "no pipe";
        return false;
    }
    const std::string log = device.root + "/idle.zrn";
    ChildProgram record(options.record, {"--single", "881.52", "-o", log}, {}, device.root + "/record.log", input[0]);
    close(input[0]);
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(log) && record.running() && Clock::now() < deadline) sleepFor(0.1);
    bool ok = std::filesystem::exists(log) && record.running();
    if (!ok) error = "zarn-record did not start its log:\n" + record.output();
    if (ok) sleepFor(options.settleSeconds);
    ok = ok && watch(options, {record, -1, "", "zarn-record"}, out, error);
    close(input[1]);
    return ok;
}

}  // namespace

bool runScenario(const ScenarioOptions& options, Measurement& out, std::string& error) {
    return options.screen == Screen::IdleRecorder ? runIdleRecorder(options, out, error)
                                                  : runScreen(options, out, error);
}

}  // namespace zarn::meter
