// zarn-board-sim: plays the receiver board on a pseudo-terminal.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/registry_file.h"
#include "tools/board_sim/pty_port.h"
#include "tools/board_sim/radio_scene.h"
#include "tools/board_sim/sim_board.h"

using namespace zarn;
using namespace zarn::sim;

namespace {

volatile sig_atomic_t stopSignal = 0;
void onSignal(int signal) { stopSignal = signal; }

constexpr double kBytesPerSecond = 38400.0 / 10.0;  // 8N1: ten bits a byte
constexpr double kBurstBytes = 16;

const char* const kHelp = R"(Usage: zarn-board-sim [options]

Plays the Zarn receiver board on a pseudo-terminal. Prints the terminal's path on
the first line of its output, registers it in the device registry as
HKEY_LOCAL_MACHINE\Drivers\Active\ZarnSim<pid> (PnpId "CF-Serial_I-O ...", Name =
the path) and removes that key when it ends (end of input time, SIGINT, SIGTERM).
At the end it prints "frames sent: N" and the count of each frame type.

Options:
  --unpaced         send as fast as the terminal takes bytes (default: 38400 bit/s)
  --scene FILE      radio scene to measure (default: a built-in scene, below)
  --capture FILE    write every byte received from the program to FILE
  --registry FILE   registry file to register in (default: ROOT/registry.reg, ROOT
                    from ZARN_ROOT or $XDG_DATA_HOME/zarn)
  --no-register     leave the registry alone
  --firmware TEXT   firmware version answered to request 1 (default "SIM 2.10")
  --serial TEXT     serial number answered to request 2 (default "ZS004217")
  --replay FILE.zrn play a recorded log back: answer requests as usual, but send
                    the log's levels, table passes and sweeps, in order and at
                    the pace of their time stamps (time runs while the board is
                    not idle); a damaged log plays up to its first bad record
  --seconds N       end after N seconds (default: run until a signal)
  --help            this text

Scene file: one item a line, '#' starts a comment.
  noise <dBm>
      noise floor (default -110)
  carrier <band> <MHz> <dBm> [width kHz] [fade dB] [fade period s]
      band 0 = 800 MHz cellular, 1 = 1900 MHz PCS; full level within half the width
      (default 30 kHz) of the frequency, falling off outside; slow sinusoidal fading
      of +-fade dB (default 3) over the period (default 7 s).
Built-in scene: cellular carriers at 870.03, 881.52, 885.00 and 891.99 MHz, PCS
carriers at 1945.00, 1962.50 and 1975.00 MHz, noise floor -110 dBm.
)";

struct Options {
    bool paced = true;
    bool registerKey = true;
    std::string scene, replay, capture, registry, firmware = "SIM 2.10", serial = "ZS004217";
    double seconds = 0;
};

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return true;
        };
        std::string number;
        if (a == "--help") {
            std::fputs(kHelp, stdout);
            std::exit(0);
        } else if (a == "--unpaced") {
            o.paced = false;
        } else if (a == "--no-register") {
            o.registerKey = false;
        } else if (a == "--seconds" && value(number)) {
            o.seconds = std::atof(number.c_str());
        } else if (!((a == "--scene" && value(o.scene)) || (a == "--capture" && value(o.capture)) ||
                     (a == "--replay" && value(o.replay)) ||
                     (a == "--registry" && value(o.registry)) || (a == "--firmware" && value(o.firmware)) ||
                     (a == "--serial" && value(o.serial)))) {
            std::fprintf(stderr, "zarn-board-sim: bad option %s (see --help)\n", a.c_str());
            return false;
        }
    }
    return true;
}

// Frames queued for the line; a frame counts as sent once its last byte is written.
struct Output {
    std::vector<uint8_t> bytes;
    size_t written = 0;
    std::vector<std::pair<size_t, int>> ends;  // end offset, type
    std::map<int, uint64_t> sent;
    uint64_t total = 0;

    void settle() {
        size_t k = 0;
        while (k < ends.size() && ends[k].first <= written) {
            ++sent[ends[k].second];
            ++total;
            ++k;
        }
        ends.erase(ends.begin(), ends.begin() + static_cast<long>(k));
        if (written == bytes.size()) {
            bytes.clear();
            written = 0;
        }
    }
};

int run(const Options& o) {
    RadioScene scene = RadioScene::standard();
    std::string error;
    if (!o.scene.empty() && !scene.load(o.scene, error)) {
        std::fprintf(stderr, "zarn-board-sim: scene: %s\n", error.c_str());
        return 2;
    }
    ReplayFeed replay;
    if (!o.replay.empty()) {
        if (!replay.loadFile(o.replay, error)) {
            std::fprintf(stderr, "zarn-board-sim: replay %s: %s\n", o.replay.c_str(), error.c_str());
            return 2;
        }
        if (!replay.warning().empty())
            std::fprintf(stderr, "zarn-board-sim: replay %s: %s; the %zu records before it play\n", o.replay.c_str(),
                         replay.warning().c_str(), replay.records());
    }
    PtyPort port;
    if (!port.open(error)) {
        std::fprintf(stderr, "zarn-board-sim: %s\n", error.c_str());
        return 1;
    }
    const std::string registryFile = o.registry.empty() ? registryFilePath() : o.registry;
    const std::string key = std::string(kActiveDriversKey) + "\\ZarnSim" + std::to_string(getpid());
    if (o.registerKey &&
        !setRegistryKey(registryFile, key, {{"PnpId", "CF-Serial_I-O Zarn board simulator"}, {"Name", port.path()}}))
        std::fprintf(stderr, "zarn-board-sim: cannot register in %s\n", registryFile.c_str());
    std::printf("%s\n", port.path().c_str());
    std::fflush(stdout);

    std::ofstream capture;
    if (!o.capture.empty()) capture.open(o.capture, std::ios::binary | std::ios::trunc);

    SimBoard board(scene, o.firmware, o.serial);
    if (!o.replay.empty()) board.setReplay(&replay);
    Output out;
    const auto start = std::chrono::steady_clock::now();
    double lineTime = 0;  // when the line is free again, seconds since start
    while (!stopSignal) {
        const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (o.seconds > 0 && t >= o.seconds) break;
        uint8_t in[512];
        while (size_t n = port.readSome(in, sizeof in)) {
            board.receive(in, n);
            if (capture.is_open()) capture.write(reinterpret_cast<char*>(in), static_cast<long>(n));
        }
        while (out.bytes.size() - out.written < 64) {
            const int type = board.nextFrame(t, out.bytes);
            if (type < 0) break;
            out.ends.emplace_back(out.bytes.size(), type);
        }
        size_t allowed = out.bytes.size() - out.written;
        if (o.paced) {
            lineTime = std::max(lineTime, t - kBurstBytes / kBytesPerSecond);
            allowed = std::min(allowed, static_cast<size_t>((t - lineTime) * kBytesPerSecond));
        }
        const size_t n = allowed ? port.writeSome(out.bytes.data() + out.written, allowed) : 0;
        out.written += n;
        lineTime += n / kBytesPerSecond;
        out.settle();
        const bool busy = out.written < out.bytes.size();
        pollfd p{port.fd(), static_cast<short>(POLLIN | (busy && !o.paced ? POLLOUT : 0)), 0};
        poll(&p, 1, busy && o.paced ? 1 : busy ? 5 : 2);
    }
    if (o.registerKey) removeRegistryKey(registryFile, key);
    if (capture.is_open()) capture.flush();
    std::printf("frames sent: %llu\n", static_cast<unsigned long long>(out.total));
    for (auto [type, count] : out.sent) std::printf("  type %d: %llu\n", type, static_cast<unsigned long long>(count));
    std::printf("requests received: %llu\n", static_cast<unsigned long long>(board.requestsReceived()));
    if (!o.replay.empty()) std::printf("records replayed: %zu of %zu\n", replay.recordsSent(), replay.records());
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) return 2;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return run(options);
}
