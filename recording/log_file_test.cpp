#include "recording/log_file.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <iterator>
#include <thread>

#include "board/test_support.h"
#include "recording/log_recorder.h"

using namespace zarn;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

namespace {

const LocalTime kJuly9 = {2004, 7, 9, 14, 5, 3};
LocalTime fixedClock() { return kJuly9; }

struct TempDir {
    TempDir() : path(fs::temp_directory_path() / ("zarn-log-" + std::to_string(::getpid()) + "-" + std::to_string(counter++))) {
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string file(const char* name) const { return (path / name).string(); }
    fs::path path;
    static inline int counter = 0;
};

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes header(uint8_t raster) { return {0x5A, 0x52, 0x4E, 0x20, 0x20, 0x31, 0x2E, 0x30, 0x30, 0x20, 0, 0, 0, 0, raster}; }

}  // namespace

TEST(LogFile, HeaderCarriesThePcsRaster) {
    TempDir dir;
    const struct { uint32_t raster; uint8_t byte; } cases[] = {{50000, 0x05}, {200000, 0x14}, {30000, 0x03}};
    for (const auto& c : cases) {
        CLogFile log(dir.file("h.zrn"), fixedClock);
        ASSERT_EQ(log.openLog(c.raster), 0);
        EXPECT_EQ(log.fileLength(), 15u);
        log.closeLog();
        EXPECT_EQ(readFile(dir.file("h.zrn")), header(c.byte)) << c.raster;
        EXPECT_EQ(log.fileLength(), 0u);  // closed
    }
}

TEST(LogFile, RecordWithoutNoteIs22BytesWithTheLocalTime) {
    TempDir dir;
    CLogFile log(dir.file("a.zrn"), fixedClock);
    ASSERT_EQ(log.openLog(50000), 0);
    const Bytes payload = {1, 2, 3, 4, 5, 6, 7, 8};
    log.setPendingRecord(216, payload.data(), 8);
    ASSERT_EQ(log.writePendingRecord(), 0);
    Bytes expected = header(5);
    const Bytes record = {0x58, 0x58, 0x58, 0x09, 0x07, 0x04, 0x0E, 0x05, 0x03, 0x00, 0x00, 0x09, 0x00, 0xD8,
                          1, 2, 3, 4, 5, 6, 7, 8};
    expected.insert(expected.end(), record.begin(), record.end());
    EXPECT_EQ(readFile(dir.file("a.zrn")), expected);
    EXPECT_EQ(log.fileLength(), 15u + 22u);
}

TEST(LogFile, NoteGoesIntoTheNextRecordOnlyWithItsTrueLength) {
    TempDir dir;
    CLogFile log(dir.file("n.zrn"), fixedClock);
    ASSERT_EQ(log.openLog(50000), 0);
    const uint8_t p = 0x42;
    log.setNote("Marker #2");
    log.setNote("Marker #3");  // replaces the earlier one
    log.setPendingRecord(9, &p, 1);
    log.setPendingRecord(9, &p, 1);
    ASSERT_EQ(log.writePendingRecord(), 0);
    ASSERT_EQ(log.writePendingRecord(), 0);
    const Bytes file = readFile(dir.file("n.zrn"));
    ASSERT_EQ(file.size(), 15u + (9 + 2 + 9 + 2 + 1 + 1) + (9 + 2 + 2 + 1 + 1));
    EXPECT_EQ(file[15 + 9], 9);  // "Marker #3" has nine characters
    EXPECT_EQ(file[15 + 10], 0);
    EXPECT_EQ(std::string(file.begin() + 26, file.begin() + 35), "Marker #3");
    EXPECT_EQ(file[35], 2);
    EXPECT_EQ(file[37], 9);
    EXPECT_EQ(file[38], 0x42);
    EXPECT_EQ(file[39 + 9], 0);  // second record: no note
    EXPECT_EQ(file[39 + 10], 0);
}

TEST(LogFile, RecordsStagedInARowAreEachWrittenOnceInOrder) {
    TempDir dir;
    CLogFile log(dir.file("k.zrn"), fixedClock);
    ASSERT_EQ(log.openLog(50000), 0);
    for (uint8_t i = 0; i < 5; ++i) log.setPendingRecord(100 + i, &i, 1);
    for (int i = 0; i < 7; ++i) ASSERT_EQ(log.writePendingRecord(), 0);  // extra messages write nothing
    const Bytes file = readFile(dir.file("k.zrn"));
    ASSERT_EQ(file.size(), 15u + 5 * 15);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(file[15 + 15 * i + 13], 100 + i);
        EXPECT_EQ(file[15 + 15 * i + 14], i);
    }
}

TEST(LogFile, BacklogPastItsBoundDropsTheNewestAndCountsThem) {
    TempDir dir;
    CLogFile log(dir.file("b.zrn"), fixedClock);
    ASSERT_EQ(log.openLog(50000), 0);
    const uint8_t p = 1;
    for (size_t i = 0; i < kMaxStagedRecords + 3; ++i) log.setPendingRecord(9, &p, 1);
    EXPECT_EQ(log.droppedRecords(), 3u);
}

TEST(LogFile, ExistingFileIsOverwritten) {
    TempDir dir;
    { std::ofstream(dir.file("o.zrn")) << std::string(500, 'q'); }
    CLogFile log(dir.file("o.zrn"), fixedClock);
    ASSERT_EQ(log.openLog(50000), 0);
    log.closeLog();
    EXPECT_EQ(readFile(dir.file("o.zrn")), header(5));
}

TEST(LogFile, WriteFailureIsReportedWithTheSystemsReason) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    CLogFile log("/dev/full", fixedClock);
    EXPECT_EQ(log.openLog(50000), -1);
    EXPECT_NE(log.errorText().find("No space"), std::string::npos) << log.errorText();
}

TEST(LogRecorder, StartStopAndOpenFailure) {
    TempDir dir;
    BoardState board;
    LogRecorder recorder;
    std::string error;
    EXPECT_EQ(recorder.startLog(board, dir.file("none/x.zrn"), "\\none\\x.zrn", error), -1);
    EXPECT_EQ(board.logging, 0);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(recorder.hasLog());
    EXPECT_EQ(recorder.fileLength(), 0u);

    ASSERT_EQ(recorder.startLog(board, dir.file("x.zrn"), "\\x.zrn", error, fixedClock), 0);
    EXPECT_EQ(board.logging, 1);
    EXPECT_EQ(board.logFileName, "\\x.zrn");
    EXPECT_EQ(recorder.fileLength(), 15u);
    recorder.stopLog(board);
    recorder.stopLog(board);  // harmless
    EXPECT_EQ(board.logging, 0);
    EXPECT_FALSE(recorder.hasLog());
    const uint8_t p = 1;
    recorder.setPendingRecord(9, &p, 1);  // no log object: dropped, no crash
    recorder.setNote("Marker #1");
    EXPECT_EQ(recorder.writePendingRecord(error), 0);
}

TEST(LogRecorder, FailedWriteWhileRecordingIsReportedAndWhatWasWrittenStays) {
    TempDir dir;
    BoardState board;
    LogRecorder recorder;
    std::string error;
    ASSERT_EQ(recorder.startLog(board, dir.file("f.zrn"), "\\f.zrn", error, fixedClock), 0);
    const uint8_t p[8] = {};
    recorder.setPendingRecord(216, p, 8);
    ASSERT_EQ(recorder.writePendingRecord(error), 0);
    // The storage is full from here on: the process may not grow a file past 40 bytes.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 40;
    setrlimit(RLIMIT_FSIZE, &small);
    recorder.setPendingRecord(216, p, 8);
    const int result = recorder.writePendingRecord(error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(result, -1);
    EXPECT_NE(error.find("write"), std::string::npos) << error;
    EXPECT_EQ(recorder.droppedRecords(), 1u) << "the record taken back is counted";
    recorder.setPendingRecord(216, p, 8);
    EXPECT_EQ(recorder.droppedRecords(), 2u) << "and so is any record after the failure";
    recorder.stopLog(board);
    const Bytes file = readFile(dir.file("f.zrn"));
    ASSERT_EQ(file.size(), 37u) << "the record cut short is taken back: the log ends whole";
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 15), header(5));
    EXPECT_EQ(file[15], 'X');  // the first record is whole
    EXPECT_EQ(file[36 - 8], 0xD8);
}

TEST(LogRecords, EachRecordTypeFromBoardBytesToFileBytes) {
    TempDir dir;
    LogRecorder recorder;
    zarn::testing::WiredBoard w(&recorder);
    std::string error;
    ASSERT_EQ(recorder.startLog(w.board, dir.file("e.zrn"), "\\e.zrn", error, fixedClock), 0);
    struct Step { uint8_t mode; std::function<void()> feed; uint8_t type; size_t payload; };
    w.board.sweepCount = 833;
    const Step steps[] = {
        {kModeNone, [&] { w.feedFrame(9, {0}); }, 9, 1},
        {kModeSingleChannel, [&] { w.feedFrame(14, {0x00, 0xFD}); }, 216, 8},
        {kModeChannelTable, [&] { w.feedFrame(15, {3, 0, 0xFD}); w.feedFrame(15, {0, 0, 0xFD}); }, 217, 201},
        {kModeSpectrum, [&] { w.feedSample(300, -800); w.feedSample(2, -800); }, 218, 5 + 4 * 833},
        {kModeBestServers, [&] { w.feedSample(300, -800); w.feedSample(2, -800); }, 219, 41},
    };
    size_t expectedLength = 15;
    for (const Step& s : steps) {
        w.board.setScreenMode(s.mode);
        w.board.sweepPosition = 0;
        w.window.messages.clear();
        s.feed();
        ASSERT_EQ(w.window.count(WM_LOG_RECORD), 1) << int(s.mode);  // one record, one message
        ASSERT_EQ(recorder.writePendingRecord(error), 0);
        expectedLength += 14 + s.payload;
        const Bytes file = readFile(dir.file("e.zrn"));
        ASSERT_EQ(file.size(), expectedLength) << int(s.mode);
        EXPECT_EQ(file[expectedLength - s.payload - 1], s.type) << int(s.mode);
        const size_t lengthField = file[expectedLength - s.payload - 3] | (file[expectedLength - s.payload - 2] << 8);
        EXPECT_EQ(lengthField, s.payload + 1) << int(s.mode);
    }
    recorder.stopLog(w.board);
}

// Storage that takes 30 ms a flush (an SD card) under a board streaming single-channel
// levels at line rate, every frame a record: the writer keeps up, nothing is dropped,
// and each record carries the second it was measured in, not the one it was written in.
TEST(LogRecorder, SlowStorageAtLineRateDropsNothingAndStampsEachRecordWhenMeasured) {
    using Clock = std::chrono::steady_clock;
    TempDir dir;
    LogRecorder recorder;
    zarn::testing::WiredBoard w(&recorder);
    const auto start = Clock::now();
    const auto second = [start] { return static_cast<int>(std::chrono::duration<double>(Clock::now() - start).count()); };
    const auto clock = [&] { return LocalTime{2024, 5, 14, 9, second() / 60, second() % 60}; };
    const auto sdCard = [](int fd) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return ::fdatasync(fd);
    };
    std::string error;
    ASSERT_EQ(recorder.startLog(w.board, dir.file("sd.zrn"), "\\sd.zrn", error, clock, sdCard), 0) << error;
    w.board.setScreenMode(kModeSingleChannel);

    std::vector<int> stagedIn;  // the second each record was staged in, by the feeder
    std::atomic<bool> feeding{true};
    std::thread feeder([&] {
        const double frameSeconds = 7 * 10 / 38400.0;  // a level frame is 7 bytes on the line
        for (size_t due = 0; second() < 1; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
            due = static_cast<size_t>(std::chrono::duration<double>(Clock::now() - start).count() / frameSeconds);
            for (; stagedIn.size() < due; stagedIn.push_back(second())) w.feedFrame(14, {0x00, 0xFD});
        }
        feeding = false;
    });
    bool written = true;
    while (written && (feeding || recorder.stagedCount() > 0)) {  // as a WM_LOG_RECORD each
        written = recorder.writePendingRecord(error) == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    feeder.join();
    ASSERT_TRUE(written) << error;
    EXPECT_EQ(recorder.droppedRecords(), 0u);
    recorder.stopLog(w.board);

    const Bytes file = readFile(dir.file("sd.zrn"));
    const size_t record = 14 + 8;
    ASSERT_EQ(file.size(), 15 + record * stagedIn.size()) << "every record staged is in the log";
    ASSERT_GT(stagedIn.size(), 450u) << "the feeder kept line rate";
    int worst = 0;
    for (size_t i = 0; i < stagedIn.size(); ++i) {
        const uint8_t* stamp = file.data() + 15 + record * i + 3;  // day, month, year, hour, minute, second
        worst = std::max(worst, std::abs(stamp[4] * 60 + stamp[5] - stagedIn[i]));
    }
    EXPECT_LE(worst, 1) << "seconds between a record's staging and its stamp";
}
