// A board that goes away while the spectrum runs: zarn-board-sim killed with SIGKILL
// (its registry key left behind until the next simulator clears it, as a crash leaves
// things), then a new simulator on another terminal under another key. The title bar says NO BOARD
// meanwhile, and the sweeps and the log being recorded go on when the new board answers,
// with nothing the lost board measured in them.
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "board/board_state.h"
#include "platform/gdi/colours.h"
#include "platform/ui/window_system.h"
#include "recording/log_reader.h"
#include "recording/log_units.h"
#include "screens/spectrum_actions.h"
#include "screens/spectrum_view.h"
#include "shell/main_frame.h"
#include "testing/main_menu_e2e.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr uint16_t kStrongest = 417;  // 881.52 MHz, the scene's strongest cellular carrier
constexpr uint16_t kNewCarrier = 233;  // 876.00 MHz: only the second board hears a carrier there

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

class BoardLostE2e : public testing::MainMenuE2e {
protected:
    bool marked() const { return WindowSystem::get().statusMark().text == "NO BOARD"; }
    int redInTitle() const {
        int red = 0;
        for (int y = 0; y < 26; ++y)
            for (int x = 120; x < 180; ++x) red += pixelToRgb(shell->backend.framebuffer().at(x, y)) == kRed;
        return red;
    }
    // The strongest carrier stands above -70 dBm on the spectrum screen as painted now.
    bool carrierShown() {
        shell->view()->InvalidateRect(nullptr, FALSE);
        shell->backend.runUntilIdle();
        const int x = 30 + (kStrongest - 1) * 201 / 832;
        for (int y = 24; y <= 24 + 50 * 133 / 110; ++y)
            for (int dx = -1; dx <= 1; ++dx)
                if (shell->pixel(x + dx, y) == RGB(192, 0, 0)) return true;
        return false;
    }
    // Trace points above the -130 dBm floor that an emptied trace lies on, as painted now.
    int pointsShown() {
        shell->view()->InvalidateRect(nullptr, FALSE);
        shell->backend.runUntilIdle();
        int shown = 0;
        for (int y = 24; y < 150; ++y)
            for (int x = 30; x < 232; ++x) shown += shell->pixel(x, y) == RGB(192, 0, 0);
        return shown;
    }
    void emptyTrace() {
        for (int i = 0; i < kTraceOffsets; ++i) boardState().traces[1].samples[i] = kEmptyLevel;
    }
    std::vector<int16_t> trace() const {
        const auto& s = boardState().traces[1].samples;
        return {s, s + kTraceOffsets};
    }
    // The log as it reads back now: its records, the sweeps among them, damaged stretches.
    struct LogBack {
        size_t records = 0, sweeps = 0, damaged = 0;
        std::vector<double> atNewCarrier;  // each sweep's dBm there, -999 when not measured
    };
    static LogBack readBack(const std::string& path) {
        LogBack back;
        LogReader reader;
        LogHeader header;
        if (!reader.open(path) || !reader.readHeader(header)) return back;
        const LogPlans plans(header.pcsRaster);
        forEachRecord(reader, [&](const LogRecord& r) {
            Sweep sweep;
            ++back.records;
            if (!decodeSweep(plans, r, sweep)) return true;
            ++back.sweeps;
            const size_t at = kNewCarrier - sweep.start;
            const bool measured = at < sweep.points.size() && sweep.points[at].measured();
            back.atNewCarrier.push_back(measured ? dbmOfLevel(sweep.points[at].level) : -999);
            return true;
        });
        back.damaged = reader.damagedStretches();
        return back;
    }
    static size_t logRecords(const std::string& path) { return readBack(path).records; }

    SimProcess second;  // stops after the program, as the first
};

TEST_F(BoardLostE2e, AKilledBoardIsMarkedAndANewOneTakesUpTheSweepsAndTheLog) {
    ASSERT_NO_FATAL_FAILURE(startOnMainMenu({}));
    writeFile("opts.zrn", "0\n0\n881.52\n30\n");  // the whole cellular band
    BoardState& board = boardState();
    emptyTrace();
    selectTrace(board, 1);
    shell->backend.whenIdle([this] { shell->backend.key(VK_RETURN); });
    shell->tap(120, 110);  // SPECTRUM ANALYSIS
    ASSERT_NE(dynamic_cast<CSpectrum*>(shell->view()), nullptr);
    ASSERT_TRUE(pumpUntil([&] { return carrierShown(); }, 20s));

    const std::string log = device.root + "/My Documents/zarnlog.zrn";
    shell->backend.whenIdle([this] { shell->backend.key(VK_RETURN); });
    shell->command(ID_LOG_START);
    ASSERT_TRUE(pumpUntil([&] { return logRecords(log) >= 1; }, 20s));

    const std::string firstTerminal = device.sim.ptyPath();
    const size_t boxes = shell->backend.modals().size();
    const auto killedAt = Clock::now();
    device.sim.killHard();
    ASSERT_TRUE(pumpUntil([&] { return marked(); }, 3s)) << "no mark 3 s after the board went";
    const double toMark = secondsSince(killedAt);
    EXPECT_GT(redInTitle(), 20);
    EXPECT_EQ(shell->backend.modals().size(), boxes) << "no box: the user may be walking";
    const std::vector<int16_t> frozen = trace();
    pumpUntil([] { return false; }, 1s);
    EXPECT_EQ(trace(), frozen) << "a trace point moved without a board";
    const size_t recordsWhileLost = logRecords(log);

    emptyTrace();
    ASSERT_EQ(pointsShown(), 0);
    std::string error;
    {
        // The killed terminal's number is held while the new simulator starts, so that it
        // comes up on another terminal; the dead key then names a terminal that is gone.
        // The kernel frees that number a moment after the kill, and hands out the lowest
        // free one, so terminals are held until it is among them (or another program has it).
        std::vector<int> held;
        const auto until = Clock::now() + 3s;
        for (bool got = false; !got && Clock::now() < until && held.size() < 64;) {
            int master = -1, slave = -1;
            ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
            const char* name = ttyname(slave);
            got = name != nullptr && firstTerminal == name;
            held.insert(held.end(), {slave, master});
            if (!got) std::this_thread::sleep_for(20ms);
        }
        writeFile("second.scene", "carrier 0 881.52 -55 30 0 7\ncarrier 0 876.00 -45 30 0 7\n");
        const bool started = second.start(
            ZARN_BOARD_SIM_PATH, {"--capture", device.root + "/capture2.bin", "--scene", device.root + "/second.scene"},
            error);
        for (const int fd : held) close(fd);
        ASSERT_TRUE(started) << error;
    }
    const auto startedAt = Clock::now();
    EXPECT_NE(second.ptyPath(), firstTerminal);
    std::ifstream registry(device.root + "/registry.reg");
    const std::string keys{std::istreambuf_iterator<char>(registry), std::istreambuf_iterator<char>()};
    EXPECT_NE(keys.find(second.ptyPath()), std::string::npos);

    ASSERT_TRUE(pumpUntil([&] { return !marked() && pointsShown() > 0; }, 5s))
        << "no sweeps 5 s after the new board started; marked: " << marked();
    const double toResume = secondsSince(startedAt);
    EXPECT_TRUE(pumpUntil([&] { return carrierShown(); }, 5s)) << "the new board's carrier";
    EXPECT_EQ(redInTitle(), 0);
    EXPECT_EQ(board.screenMode, kModeSpectrum);
    EXPECT_EQ(board.sweepCount, 832) << "the window the spectrum had";

    ASSERT_TRUE(pumpUntil([&] { return logRecords(log) >= recordsWhileLost + 2; }, 20s)) << "the log stopped";
    shell->command(ID_LOG_STOP);
    const LogBack whole = readBack(log);
    EXPECT_GE(whole.records, recordsWhileLost + 2);
    EXPECT_EQ(whole.damaged, 0u);
    EXPECT_EQ(whole.sweeps, whole.records) << "every record a whole sweep";
    for (size_t i = 0; i < whole.atNewCarrier.size(); ++i) {
        if (i < recordsWhileLost) {
            EXPECT_LT(whole.atNewCarrier[i], -70) << "sweep " << i << ", before the loss";
        } else {
            EXPECT_GT(whole.atNewCarrier[i], -70) << "sweep " << i << " after the loss holds what the lost board measured";
        }
    }
    std::printf("board lost: marked %.2f s after SIGKILL; sweeping again %.2f s after the new simulator started\n",
                toMark, toResume);
    RecordProperty("seconds_to_mark", std::to_string(toMark));
    RecordProperty("seconds_to_resume", std::to_string(toResume));
}

}  // namespace
}  // namespace zarn
