// zarn-board-sim: plays the receiver board on a pseudo-terminal.
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/registry_file.h"
#include "tools/board_sim/pty_port.h"
#include "tools/board_sim/radio_scene.h"
#include "tools/board_sim/sim_board.h"
#include "tools/board_sim/sim_output.h"
#include "tools/board_sim/sim_registration.h"

using namespace zarn;
using namespace zarn::sim;

namespace {

volatile sig_atomic_t stopSignal = 0;
void onSignal(int signal) { stopSignal = signal; }

constexpr double kBytesPerSecond = 38400.0 / 10.0;  // 8N1: ten bits a byte
constexpr double kBurstBytes = 16;

const char* const kSummary = R"(Plays the Zarn receiver board on a pseudo-terminal. Prints the terminal's path on
the first line of its output, registers it in the device registry as
HKEY_LOCAL_MACHINE\Drivers\Active\ZarnSim<pid> (PnpId "CF-Serial_I-O ...", Name =
the path) and removes that key when it ends (end of --seconds, SIGINT, SIGTERM); keys
left by simulators that were killed are removed at start.
At the end it prints "frames sent: N" and the count of each frame type.)";

const char* const kScene = R"(Scene file: one item a line, '#' starts a comment.
  noise <dBm>
      noise floor (default -110)
  carrier <band> <MHz> <dBm> [width kHz] [fade dB] [fade period s] [from S] [until S]
      band 0 = 800 MHz cellular, 1 = 1900 MHz PCS; full level within half the width
      (default 30 kHz) of the frequency, falling off outside; slow sinusoidal fading
      of +-fade dB (default 3) over the period (default 7 s); heard only from S
      seconds after the start and before S, with from and until.
Built-in scene: cellular carriers at 870.03, 881.52, 885.00 and 891.99 MHz, PCS
carriers at 1945.00, 1962.50 and 1975.00 MHz, noise floor -110 dBm.
)";

struct Options {
    bool unpaced = false;
    bool noRegister = false;
    std::string scene, replay, capture, registry, firmware = "SIM 2.10", serial = "ZS004217";
    double seconds = 0;
};

CommandLine simOptions(Options& o) {
    return {"zarn-board-sim",
            kSummary,
            {
                flagOption("unpaced", 0, "send as fast as the terminal takes bytes\n(default: paced at 38400 bit/s)", o.unpaced),
                textOption("scene", 0, "FILE", "radio scene to measure (default: a built-in scene, below)", o.scene),
                textOption("capture", 0, "FILE", "write every byte received from the program to FILE", o.capture),
                textOption("registry", 0, "FILE",
                           "registry file to register in (default: ROOT/registry.reg,\n"
                           "ROOT from ZARN_ROOT or $XDG_DATA_HOME/zarn)",
                           o.registry),
                flagOption("no-register", 0, "leave the registry alone (for zarn --port)", o.noRegister),
                textOption("firmware", 0, "TEXT", "firmware version answered to request 1 (default \"SIM 2.10\")",
                           o.firmware),
                textOption("serial", 0, "TEXT", "serial number answered to request 2 (default \"ZS004217\")", o.serial),
                textOption("replay", 0, "FILE.zrn",
                           "play a recorded log back: answer requests as usual, but send\n"
                           "the log's levels, table passes and sweeps, in order and at\n"
                           "the pace of their time stamps (time runs while the board is\n"
                           "not idle); a damaged log plays up to its first bad record",
                           o.replay),
                numberOption("seconds", 0, "N", "end after N seconds (default 0: run until a signal)", o.seconds, 0,
                             1e9),
            },
            kScene};
}

int run(const Options& o) {
    RadioScene scene = RadioScene::standard();
    std::string error;
    if (!o.scene.empty() && !scene.load(o.scene, error)) {
        std::fprintf(stderr, "zarn-board-sim: scene: %s\n", error.c_str());
        return 1;
    }
    ReplayFeed replay;
    if (!o.replay.empty()) {
        if (!replay.loadFile(o.replay, error)) {
            std::fprintf(stderr, "zarn-board-sim: replay %s: %s\n", o.replay.c_str(), error.c_str());
            return 1;
        }
        if (!replay.warning().empty())
            std::fprintf(stderr, "zarn-board-sim: replay %s: %s; the %zu records before it play\n", o.replay.c_str(),
                         replay.warning().c_str(), replay.records());
    }
    std::ofstream capture;
    if (!o.capture.empty()) {
        capture.open(o.capture, std::ios::binary | std::ios::trunc);
        if (!capture) {
            std::fprintf(stderr, "zarn-board-sim: cannot write %s: %s\n", o.capture.c_str(), std::strerror(errno));
            return 1;
        }
    }
    PtyPort port;
    if (!port.open(error)) {
        std::fprintf(stderr, "zarn-board-sim: %s\n", error.c_str());
        return 1;
    }
    const std::string registryFile = o.registry.empty() ? registryFilePath() : o.registry;
    const std::string key = simulatorKey(getpid());
    const bool registerKey = !o.noRegister;
    if (registerKey && (!removeStaleSimulatorKeys(registryFile) ||
                        !setRegistryKey(registryFile, key,
                                        {{"PnpId", "CF-Serial_I-O Zarn board simulator"}, {"Name", port.path()}})))
        std::fprintf(stderr, "zarn-board-sim: cannot register in %s\n", registryFile.c_str());
    std::printf("%s\n", port.path().c_str());
    std::fflush(stdout);

    SimBoard board(scene, o.firmware, o.serial);
    if (!o.replay.empty()) board.setReplay(&replay);
    SimOutput out;
    const auto start = std::chrono::steady_clock::now();
    double lineTime = 0;  // when the line is free again, seconds since start
    const bool paced = !o.unpaced;
    while (!stopSignal) {
        const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (o.seconds > 0 && t >= o.seconds) break;
        uint8_t in[512];
        while (size_t n = port.readSome(in, sizeof in)) {
            board.receive(in, n);
            if (capture.is_open()) capture.write(reinterpret_cast<char*>(in), static_cast<long>(n));
        }
        while (out.pending() < 64) {
            const int type = board.nextFrame(t, out.bytes());
            if (type < 0) break;
            out.queued(type);
        }
        size_t allowed = out.pending();
        if (paced) {
            lineTime = std::max(lineTime, t - kBurstBytes / kBytesPerSecond);
            allowed = std::min(allowed, static_cast<size_t>((t - lineTime) * kBytesPerSecond));
        }
        const size_t n = allowed ? port.writeSome(out.unwritten(), allowed) : 0;
        lineTime += n / kBytesPerSecond;
        out.wrote(n);
        const bool busy = out.pending() > 0;
        pollfd p{port.fd(), static_cast<short>(POLLIN | (busy && !paced ? POLLOUT : 0)), 0};
        poll(&p, 1, busy && paced ? 1 : busy ? 5 : 2);
    }
    if (registerKey) removeRegistryKey(registryFile, key);
    if (capture.is_open()) capture.flush();
    std::printf("frames sent: %llu\n", static_cast<unsigned long long>(out.total()));
    for (auto [type, count] : out.sent()) std::printf("  type %d: %llu\n", type, static_cast<unsigned long long>(count));
    std::printf("requests received: %llu\n", static_cast<unsigned long long>(board.requestsReceived()));
    if (!o.replay.empty()) std::printf("records replayed: %zu of %zu\n", replay.recordsSent(), replay.records());
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const auto status = parseCommandLine(simOptions(options), argc, argv)) return *status;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return run(options);
}
