// zarn-meter: how much of the machine zarn takes on a screen, or zarn-record on an idle
// board, measured from outside.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "tools/meter/scenario.h"

using namespace zarn;
using namespace zarn::meter;

namespace {

const char* const kSummary = R"(Runs zarn against zarn-board-sim (paced at 38400 bit/s) on a private Xvfb, brings it
by pointer clicks to the screen to measure, lets it settle, and reports over the run:
processor time of the whole zarn process as a share of one core (and by thread),
wake-ups per second (context switches, voluntary and involuntary, of every thread,
and by thread), presents, paints and board updates per second, resident size, and
the longest time from a board update (posted as its frame is decoded) to the present
that shows it. zarn's environment is this program's, plus DISPLAY,
SDL_VIDEODRIVER=x11, ZARN_SCALE, ZARN_ROOT (a scratch root) and ZARN_STATS (the file
it reports its presents in).)";

const char* const kStatus = "Exit status: 0 measured, 1 a run failed, 2 a usage error.\n";

struct Options {
    ScenarioOptions scenario;
    int repeat = 1;
};

CommandOption screenOption(Screen& into) {
    return {"screen", 0, "NAME",
            "spectrum (the whole cellular band, 833 points; default), menu\n"
            "(the idle main menu) or record: no zarn, but zarn-record\n"
            "--single 881.52 against a simulator that answers and measures\n"
            "nothing, its standard input open and quiet (processor time,\n"
            "wake-ups and resident size)",
            [&into](const char* value) {
                const std::string name = value;
                if (name == "spectrum") into = Screen::Spectrum;
                else if (name == "menu") into = Screen::MainMenu;
                else if (name == "record") into = Screen::IdleRecorder;
                else return "'" + name + "' is not spectrum, menu or record";
                return std::string();
            }};
}

CommandOption displayOption(std::string& into) {
    return {"display", 0, "WxH", "the Xvfb screen (default 1024x768)", [&into](const char* value) {
                const std::string size = value;
                if (size.find('x') == std::string::npos) return "'" + size + "' is not WIDTHxHEIGHT";
                into = size;
                return std::string();
            }};
}

CommandLine meterOptions(Options& o) {
    ScenarioOptions& s = o.scenario;
    return {"zarn-meter",
            kSummary,
            {
                screenOption(s.screen),
                numberOption("seconds", 0, "N", "length of a run (default 20)", s.seconds, 0.001, 1e6),
                numberOption("settle", 0, "N", "seconds on the screen before a run starts (default 3)",
                             s.settleSeconds, 0, 1e6),
                integerOption("repeat", 0, "N",
                              "runs, each with its own server and programs (default 1); the\n"
                              "summary gives the median of each figure",
                              o.repeat, 1, 999999),
                integerOption("scale", 0, "N", "ZARN_SCALE (default 2)", s.scale, 1, 8),
                displayOption(s.displaySize),
                textOption("zarn", 0, "PATH", "the program (default: the one built with this tool)", s.zarn),
                textOption("record", 0, "PATH", "zarn-record (default: the one built with this tool)", s.record),
                textOption("sim", 0, "PATH", "the simulator (default: the one built with this tool)", s.sim),
            },
            kStatus};
}

void report(const Measurement& m, bool window) {
    std::printf("  cpu        %6.2f %% of one core over %.1f s;", 100 * m.cpuShare, m.seconds);
    std::vector<ThreadUse> busiest = m.threads;
    std::sort(busiest.begin(), busiest.end(), [](auto& a, auto& b) { return a.cpuSeconds > b.cpuSeconds; });
    for (size_t i = 0; i < busiest.size() && i < 4; ++i)
        if (busiest[i].cpuSeconds > 0) std::printf(" %s %.2f", busiest[i].name.c_str(), 100 * busiest[i].cpuSeconds / m.seconds);
    std::printf("\n  wake-ups   %6.1f /s in all, by thread:", m.wakeupsPerSecond);
    std::vector<ThreadUse> woken = m.threads;
    std::sort(woken.begin(), woken.end(), [](auto& a, auto& b) { return a.wakeups > b.wakeups; });
    for (const ThreadUse& t : woken)
        std::printf(" %s[%d] %.1f (%.3f %%)", t.name.c_str(), static_cast<int>(t.tid), t.wakeups / m.seconds,
                    100 * t.cpuSeconds / m.seconds);
    std::printf("\n");
    if (window)
        std::printf("  presents   %6.1f /s\n  paints     %6.1f /s\n  updates    %6.1f /s\n",
                    static_cast<double>(m.counts.presents) / m.seconds, static_cast<double>(m.counts.paints) / m.seconds,
                    static_cast<double>(m.counts.updates) / m.seconds);
    std::printf("  resident   %6.1f MB (highest seen %.1f MB)\n", m.residentKb / 1024.0, m.peakResidentKb / 1024.0);
    if (window && m.counts.longestMs() < 0) {
        std::printf("  latency    no board update reached the screen\n");
    } else if (window) {
        std::printf("  latency    longest update-to-present < %lld ms (%llu updates shown)\n",
                    static_cast<long long>(m.counts.longestMs()), static_cast<unsigned long long>(m.counts.latencyCount()));
    }
    std::printf("  machine    X server %.1f %% of one core; the rest of the machine %.0f %% of %d cores busy; "
                "load %.2f -> %.2f\n",
                100 * m.serverCpuShare, 100 * m.machineBusyShare, m.cores, m.loadBefore, m.loadAfter);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void summary(const std::vector<Measurement>& runs) {
    auto of = [&](auto field) {
        std::vector<double> v;
        for (const auto& m : runs) v.push_back(field(m));
        return median(v);
    };
    std::printf("median of %zu runs: cpu %.2f %%, wake-ups %.1f /s, presents %.1f /s, paints %.1f /s, resident %.1f MB, "
                "latency < %.0f ms (-1: none)\n",
                runs.size(), of([](auto& m) { return 100 * m.cpuShare; }), of([](auto& m) { return m.wakeupsPerSecond; }),
                of([](auto& m) { return static_cast<double>(m.counts.presents) / m.seconds; }),
                of([](auto& m) { return static_cast<double>(m.counts.paints) / m.seconds; }),
                of([](auto& m) { return m.peakResidentKb / 1024.0; }),
                of([](auto& m) { return static_cast<double>(m.counts.longestMs()); }));
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    o.scenario.zarn = ZARN_PROGRAM_PATH;
    o.scenario.record = ZARN_RECORD_PATH;
    o.scenario.sim = ZARN_BOARD_SIM_PATH;
    if (const auto status = parseCommandLine(meterOptions(o), argc, argv)) return *status;
    const Screen screen = o.scenario.screen;
    const char* what = screen == Screen::Spectrum   ? "spectrum, whole cellular band"
                     : screen == Screen::MainMenu   ? "idle main menu"
                                                    : "zarn-record on an idle board";
    std::vector<Measurement> runs;
    for (int i = 1; i <= o.repeat; ++i) {
        if (screen == Screen::IdleRecorder)
            std::printf("run %d of %d: %s\n", i, o.repeat, what);
        else
            std::printf("run %d of %d: %s, scale %d, Xvfb %s\n", i, o.repeat, what, o.scenario.scale,
                        o.scenario.displaySize.c_str());
        std::fflush(stdout);
        Measurement m;
        std::string error;
        // Now and then SDL finds no X server that has just come up: one more try, said so.
        bool measured = runScenario(o.scenario, m, error);
        if (!measured && error.find("x11 not available") != std::string::npos) {
            std::fprintf(stderr, "zarn-meter: %s\nzarn-meter: trying once more\n", error.c_str());
            measured = runScenario(o.scenario, m, error);
        }
        if (!measured) {
            std::fprintf(stderr, "zarn-meter: %s\n", error.c_str());
            return 1;
        }
        report(m, screen != Screen::IdleRecorder);
        runs.push_back(m);
    }
    if (runs.size() > 1) summary(runs);
    return 0;
}
