// zarn-meter: how much of the machine zarn takes on a screen, or zarn-record on an idle
// board, measured from outside.
#include <getopt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/meter/scenario.h"
#include "zarn_version.h"

using namespace zarn::meter;

namespace {

const char* const kUsage = R"(Usage: zarn-meter [options]

Runs zarn against zarn-board-sim (paced at 38400 bit/s) on a private Xvfb, brings it
by pointer clicks to the screen to measure, lets it settle, and reports over the run:
processor time of the whole zarn process as a share of one core (and by thread),
wake-ups per second (context switches, voluntary and involuntary, of every thread,
and by thread), presents, paints and board updates per second, resident size, and
the longest time from a board update (posted as its frame is decoded) to the present
that shows it. zarn's environment is this program's, plus DISPLAY,
SDL_VIDEODRIVER=x11, ZARN_SCALE, ZARN_ROOT (a scratch root) and ZARN_STATS (the file
it reports its presents in).

  --screen NAME     spectrum (the whole cellular band, 833 points; default), menu
                    (the idle main menu) or record: no zarn, but zarn-record
                    --single 881.52 against a simulator that answers and measures
                    nothing, its standard input open and quiet (processor time,
                    wake-ups and resident size)
  --seconds N       length of a run (default 20)
  --settle N        seconds on the screen before a run starts (default 3)
  --repeat N        runs, each with its own server and programs (default 1); the
                    summary gives the median of each figure
  --scale N         ZARN_SCALE (default 2)
  --display WxH     the Xvfb screen (default 1024x768)
  --zarn PATH       the program (default: the one built with this tool)
  --record PATH     zarn-record (default: the one built with this tool)
  --sim PATH        the simulator (default: the one built with this tool)
  --help, --version

Exit status: 0 measured, 1 a run failed, 2 a usage error.
)";

struct Options {
    ScenarioOptions scenario;
    int repeat = 1;
};

bool positive(const char* text, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && out > 0 && out < 1e6;
}

// 0 to run, else the exit status.
int parse(int argc, char** argv, Options& o) {
    static const option kLong[] = {{"screen", required_argument, nullptr, 'S'},
                                   {"seconds", required_argument, nullptr, 's'},
                                   {"settle", required_argument, nullptr, 't'},
                                   {"repeat", required_argument, nullptr, 'r'},
                                   {"scale", required_argument, nullptr, 'x'},
                                   {"display", required_argument, nullptr, 'd'},
                                   {"zarn", required_argument, nullptr, 'z'},
                                   {"record", required_argument, nullptr, 'R'},
                                   {"sim", required_argument, nullptr, 'm'},
                                   {"help", no_argument, nullptr, 'h'},
                                   {"version", no_argument, nullptr, 'V'},
                                   {nullptr, 0, nullptr, 0}};
    opterr = 0;
    int c;
    double v = 0;
    while ((c = getopt_long(argc, argv, "", kLong, nullptr)) != -1) {
        const std::string arg = optarg ? optarg : "";
        bool ok = true;
        switch (c) {
        case 'S':
            ok = arg == "spectrum" || arg == "menu" || arg == "record";
            o.scenario.screen = arg == "menu" ? Screen::MainMenu : arg == "record" ? Screen::IdleRecorder : Screen::Spectrum;
            break;
        case 's': ok = positive(optarg, o.scenario.seconds); break;
        case 't': ok = positive(optarg, v) || arg == "0", o.scenario.settleSeconds = v; break;
        case 'r': ok = positive(optarg, v) && v == static_cast<int>(v), o.repeat = static_cast<int>(v); break;
        case 'x': ok = positive(optarg, v) && v == static_cast<int>(v) && v <= 8, o.scenario.scale = static_cast<int>(v); break;
        case 'd': ok = arg.find('x') != std::string::npos, o.scenario.displaySize = arg; break;
        case 'z': o.scenario.zarn = arg; break;
        case 'R': o.scenario.record = arg; break;
        case 'm': o.scenario.sim = arg; break;
        case 'h': std::fputs(kUsage, stdout); return -1;
        case 'V': std::printf("zarn-meter (Zarn) %s\n", zarn::kZarnVersion); return -1;
        default:
            std::fprintf(stderr, "zarn-meter: unknown option or missing value: %s\n%s", argv[optind - 1], kUsage);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "zarn-meter: bad value for %s: %s\n", argv[optind - 2 < 1 ? 1 : optind - 2], optarg);
            return 2;
        }
    }
    if (optind < argc) {
        std::fprintf(stderr, "zarn-meter: unexpected argument: %s\n%s", argv[optind], kUsage);
        return 2;
    }
    return 0;
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
    if (int status = parse(argc, argv, o)) return status < 0 ? 0 : status;
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
