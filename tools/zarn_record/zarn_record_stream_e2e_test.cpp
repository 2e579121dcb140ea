// zarn-record's CSV stream against a reader that stalls: the log goes on while the
// reader takes nothing, a stop signal that comes meanwhile ends the stream with every
// record as a whole row once the reader reads again, and a stream that cannot be
// finished is a failure the exit status says.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "testing/record_child.h"
#include "testing/sim_device.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;
using testing::RecordChild;
using testing::waitFor;

// The rows of a spectrum stream: lines that each end with a line end.
struct StreamRows {
    explicit StreamRows(const std::string& text) {
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) rows.push_back(line);
        whole = text.empty() || text.back() == '\n';
    }
    std::vector<std::string> rows;
    bool whole = true;
};

size_t fieldsOf(const std::string& row) { return static_cast<size_t>(std::count(row.begin(), row.end(), ',')) + 1; }

class RecordStream : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(device.start(ZARN_BOARD_SIM_PATH, {"--unpaced"}, error)) << error;
        log = device.root + "/stream.zrn";
    }
    // A cellular sweep of 767 points: some 7 kB a row, so a few rows fill a pipe.
    void start() { ASSERT_TRUE(child.start({"--spectrum", "870:893", "--csv", "-", "-o", log}, {{"ZARN_ROOT", device.root}})); }
    size_t records() const { return testing::readLogged(log).records.size(); }

    SimDevice device;
    std::string log;
    RecordChild child;
};

TEST_F(RecordStream, ASignalWhileTheReaderStallsEndsTheStreamWithEveryRecordAWholeRow) {
    child.holdOutput(true);
    ASSERT_NO_FATAL_FAILURE(start());
    // A pipe holds some 8 rows; the log goes on past them while the reader takes nothing.
    EXPECT_TRUE(waitFor([&] { return records() >= 16; }, 15s)) << records() << " records\n" << child.err();
    child.signal(SIGTERM);
    std::this_thread::sleep_for(200ms);  // the signal lands while the stream waits on the full pipe
    child.holdOutput(false);
    ASSERT_EQ(child.wait(15s), 0) << child.err();

    const StreamRows csv(child.out());
    EXPECT_TRUE(csv.whole) << "the stream ends with a whole row";
    const testing::LoggedRecords logged = testing::readLogged(log);
    EXPECT_EQ(logged.damaged, 0u);
    EXPECT_EQ(testing::kBoardFrames + csv.rows.size(), logged.records.size())
        << "every measurement record logged is a row, those drained at the end too\n" << child.err();
    for (const std::string& row : csv.rows) ASSERT_EQ(fieldsOf(row), 6u + 767u) << row.substr(0, 80);
}

// A reader that takes nothing more: the end waits for it a few seconds, not for ever, and
// the stream that could not be finished is a failure; the log is whole.
TEST_F(RecordStream, AStreamThatCannotBeFinishedEndsTheRunWithStatus1) {
    child.holdOutput(true);
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(waitFor([&] { return records() >= 12; }, 15s)) << child.err();
    child.signal(SIGTERM);
    ASSERT_TRUE(waitFor([&] { return !child.running(); }, 15s)) << "the end gave up on the reader";
    EXPECT_EQ(child.wait(1s), 1) << child.err();
    EXPECT_NE(child.err().find("zarn-record: csv: not finished by the end"), std::string::npos) << child.err();
    const testing::LoggedRecords logged = testing::readLogged(log);
    EXPECT_EQ(logged.damaged, 0u);
    EXPECT_GE(logged.records.size(), 12u);
}

}  // namespace
}  // namespace zarn
