#include "tools/meter/scenario.h"

#include <chrono>
#include <fstream>
#include <map>
#include <thread>

#include "platform/sdl/x11_grab.h"
#include "platform/sdl/xvfb_server.h"
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

std::vector<ThreadTime> threadsSince(const ProcessSample& before, const ProcessSample& after) {
    std::map<std::string, double> was, now;
    for (const auto& t : before.threads) was[t.name] += t.cpuSeconds;
    for (const auto& t : after.threads) now[t.name] += t.cpuSeconds;
    std::vector<ThreadTime> out;
    for (const auto& [name, seconds] : now) out.push_back({name, seconds - was[name]});
    return out;
}

}  // namespace

bool runScenario(const ScenarioOptions& options, Measurement& out, std::string& error) {
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

    PresentCounts countsBefore, countsAfter;
    readPresentCounts(stats, countsBefore);
    const MachineSample machineBefore = sampleMachine();
    const ProcessSample before = sampleProcess(zarn.pid());
    const ProcessSample serverBefore = sampleProcess(server.pid());
    const auto start = Clock::now();
    long peak = before.residentKb;
    while (Clock::now() - start < std::chrono::duration<double>(options.seconds)) {
        sleepFor(0.5);
        peak = std::max(peak, sampleProcess(zarn.pid()).residentKb);
    }
    const ProcessSample after = sampleProcess(zarn.pid());
    const ProcessSample serverAfter = sampleProcess(server.pid());
    const MachineSample machineAfter = sampleMachine();
    out.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    readPresentCounts(stats, countsAfter);  // as stale as the first look: at most 250 ms
    if (!before.ok || !after.ok || !zarn.running()) {
        error = "zarn ended during the measurement:\n" + zarn.output();
        return false;
    }
    zarn.stop();

    const double cpu = after.cpuSeconds - before.cpuSeconds;
    out.cpuShare = cpu / out.seconds;
    out.threads = threadsSince(before, after);
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
    if (options.screen == Screen::Spectrum && out.counts.updates < out.seconds * 5) {
        error = "the spectrum screen did not run: " + std::to_string(out.counts.updates) + " board updates";
        return false;
    }
    return true;
}

}  // namespace zarn::meter
