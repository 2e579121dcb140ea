// zarn-line-check: the link thread against zarn-board-sim streaming full cellular sweeps.
// Compares the frames the simulator sent with the frames the program decoded, paced at
// 38400 bit/s and then unpaced, and gives the link thread's processor use.
#include <errno.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "board/board_sequences.h"
#include "board/link_thread.h"
#include "board/serial_link.h"
#include "platform/command_line.h"
#include "platform/registry.h"
#include "platform/registry_file.h"
#include "testing/sim_process.h"

using namespace zarn;
using Clock = std::chrono::steady_clock;

namespace {

const char* const kSummary = R"(Starts zarn-board-sim in a scratch device root, connects the link thread to it and
streams full cellular sweeps (start 1, count 833, step 1), paced at 38400 bit/s and
then unpaced; compares the frames the simulator sent with those the program decoded
and gives the link thread's processor use.)";

const char* const kStatus = R"(Exit status: 0 when no frame was lost, 1 when frames were lost or the simulator did
not start, 3 when the link did not reach the simulator's port.
)";

struct Options {
    double seconds = 20, unpaced = 10, idle = 5;
    std::string sim = ZARN_BOARD_SIM_PATH;
};

CommandLine lineCheckOptions(Options& o) {
    return {"zarn-line-check",
            kSummary,
            {
                numberOption("seconds", 0, "N", "paced streaming time (default 20)", o.seconds, 0.1, 86400),
                numberOption("unpaced", 0, "N", "unpaced streaming time (default 10; 0 skips it)", o.unpaced, 0, 86400),
                numberOption("idle", 0, "N", "idle time for the processor measurement (default 5)", o.idle, 0, 86400),
                textOption("sim", 0, "PATH", "the simulator (default: the one built with this program)", o.sim),
            },
            kStatus};
}

constexpr int kNoBoard = 3;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

void sleepFor(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

struct Run {
    long simFrames = 0, simSamples = 0;
    uint64_t decoded = 0;
    double streamSeconds = 0, streamCpu = 0, idleCpu = 0, idleSeconds = 0;
};

// Waits until the decoded count has not moved for a while: the line is drained.
// Returns when it last moved, so the quiet wait does not dilute the rate.
Clock::time_point drain(const LinkThread& thread) {
    uint64_t last = thread.framesDecoded();
    auto lastMoved = Clock::now();
    for (int quiet = 0; quiet < 5;) {
        sleepFor(0.1);
        const uint64_t now = thread.framesDecoded();
        quiet = now == last ? quiet + 1 : 0;
        if (now != last) lastMoved = Clock::now();
        last = now;
    }
    return lastMoved;
}

// 0, or the exit status of a run that could not stream.
int runOnce(const Options& o, bool paced, double streamSeconds, double idleSeconds, Run& r) {
    SimProcess sim;
    std::string error;
    std::vector<std::string> args;
    if (!paced) args.push_back("--unpaced");
    if (!sim.start(o.sim, args, error)) {
        std::fprintf(stderr, "zarn-line-check: %s\n", error.c_str());
        return 1;
    }
    loadRegistry(registryFilePath(), "/nonexistent");
    BoardState board;
    {
        SerialLink link(38400);
        if (!link.valid() || sim.ptyPath() != link.portName()) {
            std::fprintf(stderr, "zarn-line-check: the link did not open the simulator's port %s\n",
                         sim.ptyPath().c_str());
            return kNoBoard;
        }
        SystemSecondsClock clock;
        LinkThread thread(board, link.sendSlot(), link, clock);
        setRequestSender(&link);
        thread.start();
        returnToIdle(board);
        if (idleSeconds > 0) {
            const double cpu0 = thread.cpuSeconds();
            const auto t0 = Clock::now();
            sleepFor(idleSeconds);
            r.idleSeconds = secondsSince(t0);
            r.idleCpu = thread.cpuSeconds() - cpu0;
        }
        board.bandIndex = 0;
        board.sweepStart = 1;
        board.sweepCount = 833;
        board.sweepStep = 1;
        const double cpu0 = thread.cpuSeconds();
        const auto t0 = Clock::now();
        startSweep(board);
        sleepFor(streamSeconds);
        returnToIdle(board);
        const auto drained = drain(thread);
        r.streamCpu = thread.cpuSeconds() - cpu0;
        r.streamSeconds = std::chrono::duration<double>(drained - t0).count();
        r.decoded = thread.framesDecoded();
        thread.stop();
        setRequestSender(nullptr);
    }
    sim.stop();
    r.simFrames = sim.framesSent();
    r.simSamples = sim.framesSent(33);
    if (r.simFrames >= 0) return 0;
    std::fprintf(stderr, "zarn-line-check: the simulator gave no report\n");
    return 1;
}

void print(const char* title, const Run& r) {
    std::printf("%s\n", title);
    std::printf("  simulator sent   %ld frames (%ld sweep samples)\n", r.simFrames, r.simSamples);
    std::printf("  program decoded  %llu frames, lost %lld\n", static_cast<unsigned long long>(r.decoded),
                static_cast<long long>(r.simFrames) - static_cast<long long>(r.decoded));
    std::printf("  sweep samples    %.0f per second over %.1f s\n", r.simSamples / r.streamSeconds, r.streamSeconds);
    std::printf("  link thread CPU  %.2f%% of a core while streaming\n", 100.0 * r.streamCpu / r.streamSeconds);
    if (r.idleSeconds > 0)
        std::printf("  link thread CPU  %.2f%% of a core while idle (%.1f s)\n", 100.0 * r.idleCpu / r.idleSeconds,
                    r.idleSeconds);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (const auto status = parseCommandLine(lineCheckOptions(o), argc, argv)) return *status;
    char tmpl[] = "/tmp/zarn-line-check-XXXXXX";
    const char* made = mkdtemp(tmpl);
    if (!made) {
        std::fprintf(stderr, "zarn-line-check: no scratch folder in /tmp: %s\n", std::strerror(errno));
        return 1;
    }
    const std::string root = made;
    setenv("ZARN_ROOT", root.c_str(), 1);

    Run paced, unpaced;
    int status = runOnce(o, true, o.seconds, o.idle, paced);
    if (status == 0) print("paced at 38400 bit/s", paced);
    bool ok = status == 0 && paced.decoded == static_cast<uint64_t>(paced.simFrames);
    if (status == 0 && o.unpaced > 0) {
        status = runOnce(o, false, o.unpaced, 0, unpaced);
        if (status == 0) print("unpaced", unpaced);
        ok = ok && status == 0 && unpaced.decoded == static_cast<uint64_t>(unpaced.simFrames);
    }
    std::error_code error;
    std::filesystem::remove_all(root, error);
    if (error) std::fprintf(stderr, "zarn-line-check: could not remove %s: %s\n", root.c_str(), error.message().c_str());
    if (status != 0) return status;
    std::printf("%s\n", ok ? "no frame lost" : "FRAMES LOST");
    return ok ? 0 : 1;
}
