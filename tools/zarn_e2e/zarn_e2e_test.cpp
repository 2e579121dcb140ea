// The receiver application against zarn-board-sim over a pseudo-terminal: in
// process through the headless window system, and as the real program.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "board/board_sequences.h"
#include "board/board_state.h"
#include "platform/gdi/golden.h"
#include "platform/registry.h"
#include "platform/registry_file.h"
#include "recording/log_units.h"
#include "screens/screen_test_support.h"
#include "shell/main_menu.h"
#include "shell/shell_test_support.h"
#include "testing/run_command.h"
#include "testing/sim_device.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ZarnE2e : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ZARN_MUTE", "1", 1);
        std::string error;
        ASSERT_TRUE(device.start(ZARN_BOARD_SIM_PATH, {}, error)) << error;
    }
    SimDevice device;
    const std::string& root = device.root;
    SimProcess& sim = device.sim;
};

using testing::pumpUntil;

TEST_F(ZarnE2e, StartsAgainstTheBoardShowsItsIdentityAndTakesARaster) {
    const auto start = Clock::now();
    testing::ShellHarness shell(testing::ShellHarness::Board::Serial);
    const auto firstPaint = Clock::now();
    ASSERT_TRUE(shell.started);
    const auto startupMs = std::chrono::duration_cast<std::chrono::milliseconds>(firstPaint - start).count();
    ::testing::Test::RecordProperty("startup_to_first_paint_ms", static_cast<int>(startupMs));
    std::printf("start to first paint of the band-raster screen: %lld ms\n", static_cast<long long>(startupMs));
    EXPECT_GE(startupMs, 3000);
    EXPECT_GT(shell.backend.presents(), 0);
    ASSERT_FALSE(shell.backend.sounds().empty());
    EXPECT_EQ(shell.backend.sounds().back().name, "HOWL");

    EXPECT_TRUE(pumpUntil(shell.backend, [] { return std::strcmp(boardState().serialNumber, "ZS004217") == 0; }, 5s));
    EXPECT_STREQ(boardState().firmwareVersion, "SIM 2.10");

    shell.tap(120, 200);  // 1900 (200kHz)
    EXPECT_EQ(boardState().pcsPlan.pcsRaster(), 200000u);
    ASSERT_NE(dynamic_cast<CMain*>(shell.view()), nullptr);
    shell.view()->InvalidateRect(nullptr, FALSE);
    shell.backend.runUntilIdle();
    const CRect identity{0, 209, 240, 224};
    const Surface expected = testing::drawnText("(Firmware Version SIM 2.10)(Serial Number ZS004217)", identity,
                                                RGB(255, 255, 255), RGB(64, 0, 0), DT_CENTER | DT_VCENTER);
    EXPECT_EQ(testing::firstDifference(shell.client(), expected, identity), "");
    const CRect band{0, 239, 240, 254};
    const Surface bandText = testing::drawnText("(869.01-893.97MHz/30kHz) (1930.00-1990.00/200kHz)", band,
                                                RGB(255, 255, 255), RGB(0, 128, 0), DT_CENTER | DT_VCENTER);
    EXPECT_EQ(testing::firstDifference(shell.client(), bandText, band), "");
}

TEST_F(ZarnE2e, TheProgramStartsTakesThreeSecondsAndEndsCleanly) {
    const auto start = Clock::now();
    const std::string command = "ZARN_UI=headless '" ZARN_PROGRAM_PATH "' > '" + root + "/out.txt' 2>&1";
    const int status = system(command.c_str());
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << readFile(root + "/out.txt");
    EXPECT_GE(ms, 3000);
    // The board got the version request, and the answer brought the serial-number request.
    ASSERT_TRUE(sim.stop());
    EXPECT_EQ(sim.framesSent(1), 1);
    EXPECT_EQ(sim.framesSent(2), 1);
    const std::string sent = readFile(root + "/capture.bin");
    EXPECT_NE(sent.find("\x11\x12\x01\x11\x13"), std::string::npos);
    EXPECT_NE(sent.find("\x11\x12\x02\x11\x13"), std::string::npos);
    EXPECT_TRUE(std::chrono::milliseconds(ms) < 20s);
}

}  // namespace
}  // namespace zarn

namespace zarn {
namespace {

uintmax_t logSize(const std::string& path) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

// Walks the records after the header; returns how many parse whole and sets
// `tail` to the bytes of a record cut short at the end (0 when none).
int parseLogRecords(const std::string& bytes, size_t& tail, std::string& problem) {
    size_t at = 15;
    int records = 0;
    auto u16 = [&](size_t i) { return static_cast<size_t>(uint8_t(bytes[i])) | size_t(uint8_t(bytes[i + 1])) << 8; };
    while (at < bytes.size()) {
        const size_t left = bytes.size() - at;
        if (left < 11) break;
        if (bytes.compare(at, 3, "XXX") != 0) {
            problem = "no record mark at " + std::to_string(at);
            return records;
        }
        const size_t note = u16(at + 9);
        if (left < 11 + note + 2) break;
        const size_t length = u16(at + 11 + note);
        if (length == 0) {
            problem = "record length 0 at " + std::to_string(at);
            return records;
        }
        const size_t whole = 11 + note + 2 + length;
        if (left < whole) break;
        at += whole;
        ++records;
    }
    tail = bytes.size() - at;
    return records;
}

TEST_F(ZarnE2e, AKilledProgramLeavesEveryCompleteRecordReadable) {
    const std::string log = root + "/My Documents/zarnlog.zrn";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The program records single-channel levels until it is killed.
        testing::ShellHarness shell(testing::ShellHarness::Board::Serial);
        shell.tap(120, 170);
        shell.backend.whenIdle([&] { shell.backend.key(VK_RETURN); });
        shell.command(ID_LOG_START);
        BoardState& board = boardState();
        board.singleChannelMode = 1;
        board.singleChannelBand = 0;
        startSingleChannel(board);
        board.setScreenMode(kModeSingleChannel);
        for (;;) {
            shell.backend.runUntilIdle();
            std::this_thread::sleep_for(5ms);
        }
    }
    const auto until = Clock::now() + 20s;
    while (Clock::now() < until && logSize(log) < 1000)
        std::this_thread::sleep_for(20ms);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    const std::string bytes = readFile(log);
    ASSERT_GE(bytes.size(), 1000u) << "the log did not grow";
    EXPECT_EQ(bytes.substr(0, 10), "ZRN  1.00 ");
    size_t tail = 0;
    std::string problem;
    const int records = parseLogRecords(bytes, tail, problem);
    EXPECT_EQ(problem, "");
    EXPECT_GT(records, 10);
    std::printf("%d whole records, %zu bytes of a record cut short\n", records, tail);
}

}  // namespace
}  // namespace zarn


namespace zarn {
namespace {

// A log read back: its header, record count, sweeps and damage.
struct LogBack {
    LogHeader header;
    size_t records = 0, damagedStretches = 0;
    std::vector<Sweep> sweeps;
};

bool readLogBack(const std::string& path, LogBack& back) {
    back = {};
    LogReader reader;
    if (!reader.open(path) || !reader.readHeader(back.header)) return false;
    const LogPlans plans(back.header.pcsRaster);
    forEachRecord(reader, [&](const LogRecord& r) {
        ++back.records;
        if (Sweep s; decodeSweep(plans, r, s)) back.sweeps.push_back(std::move(s));
        return true;
    });
    back.damagedStretches = reader.damagedStretches();
    return true;
}

// A spectrum log recorded from the simulator reads back whole and plots. With
// ZARN_KEEP_LOG=DIR the log and its picture are kept there (docs/surveys-and-maps.md shows it).
TEST_F(ZarnE2e, ASpectrumLogRecordedFromTheBoardReadsBackAndPlots) {
    const std::string path = root + "/My Documents/zarnlog.zrn";
    testing::ShellHarness shell(testing::ShellHarness::Board::Serial);
    shell.tap(120, 170);
    shell.backend.whenIdle([&] { shell.backend.key(VK_RETURN); });
    shell.command(ID_LOG_START);
    BoardState& board = boardState();
    board.bandIndex = 0;
    board.sweepStart = 380;
    board.sweepCount = 240;  // 880.41 to 887.58 MHz: two of the scene's carriers
    board.sweepStep = 1;
    board.setScreenMode(kModeSpectrum);
    startSweep(board);
    constexpr size_t kSweeps = 14;
    LogBack log;
    const bool recorded = pumpUntil(shell.backend, [&] { return readLogBack(path, log) && log.records >= kSweeps; }, 60s);
    returnToIdle(board);
    shell.command(ID_LOG_STOP);
    ASSERT_TRUE(recorded) << log.records << " records";
    ASSERT_TRUE(readLogBack(path, log));
    EXPECT_EQ(log.damagedStretches, 0u);
    EXPECT_EQ(log.header.pcsRaster, 50000u);
    ASSERT_EQ(log.sweeps.size(), log.records);
    int carrierSeen = 0;
    for (size_t i = 1; i < log.sweeps.size(); ++i) {  // the first sweep began before the log
        const Sweep& sweep = log.sweeps[i];
        ASSERT_EQ(sweep.points.size(), 240u);
        EXPECT_EQ(sweep.firstHz, 880410000u);
        for (const SweepPoint& p : sweep.points)
            if (p.onGrid && p.hz == 881520000u && dbmOfLevel(p.level) > -80) ++carrierSeen;
    }
    EXPECT_GE(carrierSeen, static_cast<int>(log.records) - 2);
    const std::string picture = root + "/zarnlog.png";
    const testing::CommandRun plotted =
        testing::runCommand(std::string(ZARNLOG_PATH) + " plot '" + path + "' -o '" + picture + "'");
    ASSERT_EQ(plotted.status, 0) << plotted.output;
    if (const char* keep = getenv("ZARN_KEEP_LOG")) {
        const auto over = std::filesystem::copy_options::overwrite_existing;
        std::filesystem::copy_file(path, std::string(keep) + "/sim-sweeps.zrn", over);
        std::filesystem::copy_file(picture, std::string(keep) + "/sim-sweeps.png", over);
    }
}

}  // namespace
}  // namespace zarn
