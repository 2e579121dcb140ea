// The frame's recording commands as a user gives them: the log from the
// command bar's Record and Stop, and snapshots of the screen.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "board/board_state.h"
#include "recording/log_recorder.h"
#include "shell/shell_test_support.h"

// Last: it defines TRUE and FALSE as macros.
#include <jpeglib.h>

namespace zarn {
namespace {

namespace fs = std::filesystem;
using testing::ShellHarness;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool jpegSize(const fs::path& path, int& width, int& height) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    jpeg_decompress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, f);
    const bool ok = jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK;
    width = static_cast<int>(info.image_width);
    height = static_cast<int>(info.image_height);
    jpeg_destroy_decompress(&info);
    std::fclose(f);
    return ok;
}

class FrameRecordingTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("zarn_frame_rec_" + std::to_string(::getpid()));
        fs::remove_all(root);
        docs = root / "My Documents";
        fs::create_directories(docs);
        setenv("ZARN_ROOT", root.c_str(), 1);
        shell = std::make_unique<ShellHarness>();
        ASSERT_TRUE(shell->started);
    }
    void TearDown() override {
        logRecorder().stopLog(boardState());
        shell.reset();
        unsetenv("ZARN_ROOT");
        fs::remove_all(root);
    }
    // Gives the command and confirms its save dialog with the proposed name (or the name typed).
    void confirm(UINT command, const std::string& name = "") {
        shell->backend.whenIdle([this, name] {
            if (!name.empty()) shell->backend.type(name);
            shell->backend.key(VK_RETURN);
        });
        shell->command(command);
    }
    void stageRecords(int count) {
        const uint8_t payload[4] = {1, 2, 3, 4};
        for (int i = 0; i < count; ++i) {
            logRecorder().setPendingRecord(216, payload, 4);
            shell->frame()->PostMessage(WM_LOG_RECORD);
        }
        shell->backend.runUntilIdle();
    }
    fs::path root;
    fs::path docs;
    std::unique_ptr<ShellHarness> shell;
};

TEST_F(FrameRecordingTest, RecordAndStopWriteEveryStagedRecordOnce) {
    const int beeps = shell->backend.beeps();
    confirm(ID_LOG_START);
    EXPECT_EQ(shell->backend.beeps(), beeps + 1);
    ASSERT_EQ(boardState().logging, 1);
    EXPECT_EQ(boardState().logFileName, "\\My Documents\\zarnlog.zrn");
    stageRecords(3);
    // Two more staged, their messages not yet handled when Stop comes.
    const uint8_t payload[4] = {5, 6, 7, 8};
    logRecorder().setPendingRecord(216, payload, 4);
    logRecorder().setPendingRecord(216, payload, 4);
    shell->command(ID_LOG_STOP);
    EXPECT_EQ(boardState().logging, 0);
    EXPECT_FALSE(logRecorder().hasLog());
    // Header 15 bytes; each record "XXX", 6 time bytes, note length 0, length, type, 4 bytes.
    const std::string bytes = readFile(docs / "zarnlog.zrn");
    const size_t record = 3 + 6 + 2 + 2 + 1 + 4;
    EXPECT_EQ(bytes.size(), 15 + 5 * record);
    EXPECT_EQ(bytes.substr(0, 10), "ZRN  1.00 ");
    EXPECT_EQ(bytes.substr(15, 3), "XXX");
    // Late messages for the stopped log are ignored.
    stageRecords(2);
    EXPECT_EQ(readFile(docs / "zarnlog.zrn").size(), bytes.size());
    shell->command(ID_LOG_STOP);  // stopping twice: a beep, nothing else
    EXPECT_EQ(boardState().logging, 0);
}

// A board that delivers faster than the storage syncs: two records arrive
// during each flush. Stop writes what was staged before it and ends.
TEST_F(FrameRecordingTest, StopEndsWhileTheBoardDeliversFasterThanTheLogSyncs) {
    const uint8_t payload[4] = {1, 2, 3, 4};
    int delivered = 0;  // bounded, so that a stop that never ends still ends the test
    auto deliveringWhileFlushing = [&](int fd) {
        // As a decoder that saw logging set just before the stop cleared it.
        for (int i = 0; i < 2 && delivered < 300; ++i, ++delivered) logRecorder().setPendingRecord(216, payload, 4);
        return ::fdatasync(fd);
    };
    std::string error;
    ASSERT_EQ(logRecorder().startLog(boardState(), (docs / "busy.zrn").string(), "\\My Documents\\busy.zrn", error,
                                     currentLocalTime, deliveringWhileFlushing),
              0);
    for (int i = 0; i < 3; ++i) logRecorder().setPendingRecord(216, payload, 4);
    shell->command(ID_LOG_STOP);
    EXPECT_EQ(boardState().logging, 0);
    EXPECT_FALSE(logRecorder().hasLog());
    EXPECT_EQ(readFile(docs / "busy.zrn").size(), 15u + 3 * 18) << delivered << " records delivered meanwhile";
}

TEST_F(FrameRecordingTest, CancelledRecordStartsNothing) {
    shell->backend.whenIdle([this] { shell->backend.key(VK_ESCAPE); });
    shell->command(ID_LOG_START);
    EXPECT_EQ(boardState().logging, 0);
    EXPECT_FALSE(fs::exists(docs / "zarnlog.zrn"));
}

TEST_F(FrameRecordingTest, AFileThatCannotBeWrittenAtOpenSaysSoAndLoggingStaysOff) {
    fs::create_symlink("/dev/full", docs / "full.zrn");
    confirm(ID_LOG_START, "full.zrn");
    EXPECT_EQ(boardState().logging, 0);
    ASSERT_FALSE(shell->backend.modals().empty());
    const auto& box = shell->backend.modals().back();
    EXPECT_EQ(box.kind, "messagebox");
    EXPECT_EQ(box.text.rfind("Could not open file (", 0), 0u) << box.text;
}

// The storage fills up while records are written as they come, or while Stop
// writes the ones left: one message, and what was written stays readable.
TEST_F(FrameRecordingTest, AWriteThatFailsWhileRecordingStopsTheLogWithOneMessage) {
    for (const bool atStop : {false, true}) {
        SCOPED_TRACE(atStop ? "at stop" : "while recording");
        const size_t boxesBefore = shell->backend.modals().size();
        confirm(ID_LOG_START);
        ASSERT_EQ(boardState().logging, 1);
        // No byte past the header and two records fits.
        signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 15 + 2 * 18;
        setrlimit(RLIMIT_FSIZE, &small);
        if (atStop) {
            const uint8_t payload[4] = {1, 2, 3, 4};
            for (int i = 0; i < 5; ++i) logRecorder().setPendingRecord(216, payload, 4);
            shell->command(ID_LOG_STOP);
        } else {
            stageRecords(5);
        }
        setrlimit(RLIMIT_FSIZE, &old);
        signal(SIGXFSZ, SIG_DFL);

        EXPECT_EQ(boardState().logging, 0);
        EXPECT_FALSE(logRecorder().hasLog());
        int boxes = 0;
        for (size_t i = boxesBefore; i < shell->backend.modals().size(); ++i)
            boxes += shell->backend.modals()[i].kind == "messagebox";
        EXPECT_EQ(boxes, 1);
        EXPECT_NE(shell->backend.modals().back().text.find("zarnlog.zrn"), std::string::npos);
        EXPECT_EQ(readFile(docs / "zarnlog.zrn").size(), 15u + 2 * 18);
    }
}

TEST_F(FrameRecordingTest, SnapshotsAreNumberedAndCancelKeepsTheNumber) {
    shell->backend.whenIdle([this] { shell->backend.key(VK_ESCAPE); });
    shell->command(ID_STORE_JPEG);
    EXPECT_FALSE(fs::exists(root / "zarnimg.cnt"));
    confirm(ID_STORE_JPEG);
    confirm(ID_STORE_JPEG);
    int width = 0, height = 0;
    ASSERT_TRUE(jpegSize(docs / "zarn0001.jpg", width, height));
    EXPECT_EQ(width, 240);
    EXPECT_EQ(height, 265);
    EXPECT_TRUE(jpegSize(docs / "zarn0002.jpg", width, height));
    EXPECT_EQ(readFile(root / "zarnimg.cnt"), "3\n");
}

}  // namespace
}  // namespace zarn
