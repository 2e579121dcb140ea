// zarn-record's life against zarn-board-sim as a monitoring site lives it: notes from a
// terminal and rows into a pipe until SIGINT, a board killed and another one coming
// back, giving up on a board that stays away, storage that fills up, and every kind of
// bad command line, with nothing half-written left behind.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/mount.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "board/board_state.h"
#include "testing/record_child.h"
#include "testing/sim_device.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;
using testing::RecordChild;
using testing::waitFor;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::vector<std::string> fields(const std::string& row) {
    std::vector<std::string> out;
    std::string field;
    bool quoted = false;
    for (char c : row) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted) {
            out.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    out.push_back(field);
    return out;
}

class RecordLife : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(startBoard({})); }
    void startBoard(const std::vector<std::string>& args) {
        std::string error;
        ASSERT_TRUE(device.start(ZARN_BOARD_SIM_PATH, args, error)) << error;
    }
    bool start(std::vector<std::string> args, const std::function<void()>& beforeExec = {}) {
        args.insert(args.end(), {"-o", log});
        return child.start(args, {{"ZARN_ROOT", device.root}}, beforeExec);
    }
    size_t records() const { return testing::readLogged(log).records.size(); }
    bool said(const std::string& text) const { return child.err().find(text) != std::string::npos; }

    SimDevice device;
    std::string log = "";
    RecordChild child;
};

// A walk test from a terminal: each line typed marks the next record, the rows go into a
// pipe as they are logged, and Ctrl-C ends it with the board idle and every record kept.
TEST_F(RecordLife, NotesFromStdinRowsIntoAPipeAndSigintEndsItWhole) {
    log = device.root + "/walk.zrn";
    ASSERT_TRUE(start({"--single", "881.52", "--csv", "-"}));
    const auto rows = [&] { return lines(child.out()).size(); };
    ASSERT_TRUE(waitFor([&] { return rows() >= 4; }, 15s)) << child.err();
    child.writeLine("Room 101");
    ASSERT_TRUE(waitFor([&] { return child.out().find("\"Room 101\"") != std::string::npos; }, 5s))
        << "a row reaches the pipe as its record is logged";
    child.writeLine("");
    ASSERT_TRUE(waitFor([&] { return child.out().find("\"Marker #2\"") != std::string::npos; }, 5s));
    child.signal(SIGINT);
    ASSERT_EQ(child.wait(10s), 0) << child.err();

    const std::vector<std::string> csv = lines(child.out());
    ASSERT_EQ(csv.front(), "time,note,cellular_channel,cellular_mhz,cellular_dbm,pcs_channel,pcs_mhz,pcs_dbm");
    for (size_t i = 1; i < csv.size(); ++i) {
        const std::vector<std::string> f = fields(csv[i]);
        ASSERT_EQ(f.size(), 8u) << csv[i];
        EXPECT_EQ(f[0].size(), 19u) << csv[i];  // 2024-05-14T09:00:30
        EXPECT_EQ(f[2], "384") << csv[i];
        EXPECT_EQ(f[3], "881.52") << csv[i];
        const double dbm = std::atof(f[4].c_str());
        EXPECT_TRUE(dbm > -80 && dbm < -40) << csv[i];
    }
    const testing::LoggedRecords logged = testing::readLogged(log);
    EXPECT_EQ(logged.damaged, 0u);
    EXPECT_EQ(logged.records.size(), testing::kBoardFrames + csv.size() - 1)
        << "every measurement record logged is a row, every row a record";
    std::vector<std::string> notes;
    for (const auto& r : logged.records)
        if (!r.note.empty()) notes.push_back(r.note);
    EXPECT_EQ(notes, (std::vector<std::string>{"Room 101", "Marker #2"}));
    device.sim.stop();
    const auto sent = testing::requestFrames(testing::readWholeFile(device.capturePath()));
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), (std::vector<uint8_t>{8, 0})) << "the board is left idle";
}

std::vector<std::string> notesIn(const testing::LoggedRecords& logged) {
    std::vector<std::string> notes;
    for (const auto& r : logged.records)
        if (!r.note.empty()) notes.push_back(r.note);
    return notes;
}

// Notes given faster than records come, as a file hands them (`< notes.txt`), the last
// without its newline: each notes a record of its own, in order, and those that no
// record came for are counted at the end.
TEST_F(RecordLife, EveryNoteGivenNotesARecordOfItsOwnAndThoseLeftAreCounted) {
    log = device.root + "/notes.zrn";
    ASSERT_TRUE(start({"--single", "881.52"}));
    ASSERT_TRUE(waitFor([&] { return records() >= 2; }, 15s)) << child.err();
    child.write("stairs\nlift\r\n");
    ASSERT_TRUE(waitFor([&] { return notesIn(testing::readLogged(log)).size() >= 2; }, 5s)) << child.err();
    device.sim.killHard();
    ASSERT_TRUE(waitFor([&] { return said("is lost"); }, 3s)) << child.err();
    child.write("roof\nbasement");
    child.closeInput();
    std::this_thread::sleep_for(500ms);  // read in the meantime: nothing shows it but the end
    child.signal(SIGINT);
    ASSERT_EQ(child.wait(10s), 0) << child.err();
    const testing::LoggedRecords logged = testing::readLogged(log);
    EXPECT_EQ(logged.damaged, 0u);
    EXPECT_EQ(notesIn(logged), (std::vector<std::string>{"stairs", "lift"}));
    EXPECT_TRUE(said("2 notes left without a record")) << child.err();
}

// `zarn-record ... &` from an interactive shell: a key typed for the shell stops
// nothing, the terminal is not drawn on, and after `fg` the line typed is a note.
TEST_F(RecordLife, InTheBackgroundOfATerminalItRecordsOnAndTakesNotesOnlyInTheForeground) {
    log = device.root + "/job.zrn";
    testing::TerminalJob job;
    ASSERT_TRUE(job.start({"--single", "881.52", "-o", log}, {{"ZARN_ROOT", device.root}}));
    ASSERT_TRUE(waitFor([&] { return records() >= 2; }, 15s)) << job.screen();
    job.type("kitchen\n");
    const size_t typedAt = records();
    ASSERT_TRUE(waitFor([&] { return records() >= typedAt + 5; }, 5s))
        << "the recording goes on in the background; the terminal showed: " << job.screen();
    EXPECT_EQ(job.screen().find("records"), std::string::npos) << "no progress line from the background";
    job.bringToForeground();
    ASSERT_TRUE(waitFor([&] { return !notesIn(testing::readLogged(log)).empty(); }, 5s)) << job.screen();
    job.type("\x03");  // Ctrl-C
    ASSERT_EQ(job.wait(10s), 0) << job.screen();
    const testing::LoggedRecords logged = testing::readLogged(log);
    EXPECT_EQ(notesIn(logged), std::vector<std::string>{"kitchen"});
    size_t noted = 0;
    while (noted < logged.records.size() && logged.records[noted].note.empty()) ++noted;
    EXPECT_GE(noted, typedAt + 5) << "the line waited for the foreground";
    EXPECT_NE(job.screen().find("records"), std::string::npos) << "the progress line in the foreground";
}

// The simulator killed (a pulled adapter) and a new one on another terminal: the log
// stays open, the sweep is asked for again, records resume, and the end is a clean one.
TEST_F(RecordLife, AKilledBoardIsFoundAgainAndTheRecordsResume) {
    log = device.root + "/site.zrn";
    ASSERT_TRUE(start({"--spectrum", "880:883"}));
    ASSERT_TRUE(waitFor([&] { return records() >= 2; }, 15s)) << child.err();
    device.sim.killHard();
    ASSERT_TRUE(waitFor([&] { return said("is lost"); }, 3s)) << child.err();
    const size_t before = records();
    SimProcess second;
    std::string error;
    ASSERT_TRUE(second.start(ZARN_BOARD_SIM_PATH, {"--capture", device.root + "/capture2.bin"}, error)) << error;
    ASSERT_TRUE(waitFor([&] { return records() >= before + 3; }, 15s)) << child.err();
    EXPECT_TRUE(said("answers again on " + second.ptyPath())) << child.err();
    child.signal(SIGTERM);
    EXPECT_EQ(child.wait(10s), 0) << child.err();
    second.stop();
    const auto sent = testing::requestFrames(testing::readWholeFile(device.root + "/capture2.bin"));
    EXPECT_NE(std::find(sent.begin(), sent.end(), std::vector<uint8_t>{8, 5}), sent.end()) << "the sweep started again";
    EXPECT_EQ(testing::readLogged(log).damaged, 0u);
}

// A window one channel step wide sweeps both its channels, and each sweep is a record.
TEST_F(RecordLife, AWindowOfOneChannelStepRecordsItsTwoPoints) {
    log = device.root + "/narrow.zrn";
    ASSERT_TRUE(start({"--spectrum", "881.50:881.53"}));
    ASSERT_TRUE(waitFor([&] { return records() >= testing::kBoardFrames + 3; }, 15s)) << child.err();
    child.signal(SIGTERM);
    EXPECT_EQ(child.wait(10s), 0) << child.err();
    const auto logged = testing::readLogged(log);
    ASSERT_GE(logged.records.size(), testing::kBoardFrames + 3);
    for (size_t i = testing::kBoardFrames; i < logged.records.size(); ++i) {
        const auto& r = logged.records[i];
        ASSERT_EQ(r.type, kModeSpectrum);
        ASSERT_EQ(r.payload.size(), 5u + 2 * 4) << "band, start, count and two points";
        EXPECT_EQ(r.payload[3] | r.payload[4] << 8, 2);
    }
}

// Single-channel levels while the board is killed, and a new board that hears the carrier
// 40 dB weaker: no record logged after the gap holds a level the lost board measured.
TEST_F(RecordLife, LevelsFromBeforeALostBoardAreNotLoggedAgainAfterItComesBack) {
    log = device.root + "/gap.zrn";
    ASSERT_TRUE(start({"--single", "881.52"}));
    ASSERT_TRUE(waitFor([&] { return records() >= 3; }, 15s)) << child.err();
    device.sim.killHard();
    // Said once every record staged before the loss is written.
    ASSERT_TRUE(waitFor([&] { return said("stays open"); }, 3s)) << child.err();
    const size_t before = records();
    std::ofstream(device.root + "/weak.scene") << "carrier 0 881.52 -95 30 0 7\n";
    SimProcess second;
    std::string error;
    ASSERT_TRUE(second.start(ZARN_BOARD_SIM_PATH, {"--scene", device.root + "/weak.scene"}, error)) << error;
    ASSERT_TRUE(waitFor([&] { return records() >= before + 5; }, 15s)) << child.err();
    child.signal(SIGTERM);
    EXPECT_EQ(child.wait(10s), 0) << child.err();
    const testing::LoggedRecords logged = testing::readLogged(log);
    ASSERT_GE(logged.records.size(), before + 5);
    for (size_t i = testing::kBoardFrames; i < logged.records.size(); ++i) {
        const testing::LoggedRecord& r = logged.records[i];
        ASSERT_EQ(r.type, kModeSingleChannel);
        ASSERT_EQ(r.payload.size(), 8u);
        const double dbm = static_cast<int16_t>(r.payload[2] | (r.payload[3] << 8)) / 16.0;
        if (i < before) {
            EXPECT_GT(dbm, -70) << "record " << i << ", the first board";
        } else {
            EXPECT_LT(dbm, -85) << "record " << i << " of " << logged.records.size() << " after the gap (" << before
                                << " before it)";
        }
    }
}

TEST_F(RecordLife, GiveUpEndsTheRunWhenTheBoardStaysAway) {
    log = device.root + "/away.zrn";
    ASSERT_TRUE(start({"--single", "881.52", "--give-up", "1"}));
    ASSERT_TRUE(waitFor([&] { return records() >= 2; }, 15s)) << child.err();
    device.sim.killHard();
    const auto killed = std::chrono::steady_clock::now();
    EXPECT_EQ(child.wait(10s), 3) << child.err();
    EXPECT_GE(std::chrono::steady_clock::now() - killed, 1s);
    EXPECT_TRUE(said("giving up")) << child.err();
    const testing::LoggedRecords logged = testing::readLogged(log);
    EXPECT_GE(logged.records.size(), 2u);
    EXPECT_EQ(logged.damaged, 0u);
}

// A small tmpfs when this runs as root, else a file-size limit (SIGXFSZ ignored, so the
// write fails with EFBIG as on a full card).
class SmallStorage {
public:
    explicit SmallStorage(const std::string& folder) : folder_(folder) {
        std::filesystem::create_directories(folder);
        mounted_ = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=24k") == 0;
        std::printf("storage that fills: %s\n", mounted_ ? "a 24 kB tmpfs" : "RLIMIT_FSIZE of 24 kB");
    }
    ~SmallStorage() {
        if (mounted_) ::umount(folder_.c_str());
    }
    std::function<void()> limit() const {
        if (mounted_) return {};
        return [] {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit size{24 * 1024, 24 * 1024};
            setrlimit(RLIMIT_FSIZE, &size);
        };
    }

private:
    std::string folder_;
    bool mounted_ = false;
};

class FastBoard : public RecordLife {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(startBoard({"--unpaced"})); }
};

TEST_F(FastBoard, FullStorageEndsWithExit1AndWhatWasWrittenStaysReadable) {
    const SmallStorage storage(device.root + "/card");
    log = device.root + "/card/full.zrn";
    ASSERT_TRUE(start({"--spectrum", "870:893"}, storage.limit()));  // about 3 kB a record
    EXPECT_EQ(child.wait(30s), 1) << child.err();
    EXPECT_TRUE(said("cannot write " + log)) << child.err();
    EXPECT_TRUE(said("No space left on device") || said("File too large")) << child.err();
    EXPECT_TRUE(said("records were not logged")) << "the record that did not fit is counted: " << child.err();
    const testing::LoggedRecords logged = testing::readLogged(log);
    ASSERT_TRUE(logged.readable);
    EXPECT_GE(logged.records.size(), 3u);
    EXPECT_EQ(logged.damaged, 0u) << "the record cut short is taken back off the end";
}

// The board's side of a port, played by the test: it answers the version request once
// and is silent from then on, and keeps the request frames it was sent.
class SilentBoard {
public:
    SilentBoard() {
        termios raw{};
        cfmakeraw(&raw);
        char name[128] = {};
        if (openpty(&master_, &slave_, name, &raw, nullptr) == 0) path_ = name;
        reader_ = std::thread([this] { listen(); });
    }
    ~SilentBoard() {
        done_ = true;
        reader_.join();
        close(master_);
        close(slave_);
    }
    const std::string& path() const { return path_; }
    std::vector<std::vector<uint8_t>> requests() {
        std::lock_guard lock(mutex_);
        return testing::requestFrames(heard_);
    }
    size_t count(uint8_t type) {
        size_t n = 0;
        for (const auto& r : requests()) n += !r.empty() && r[0] == type;
        return n;
    }

private:
    void listen() {
        bool answered = false;
        while (!done_) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            char buffer[256];
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0) continue;
            std::lock_guard lock(mutex_);
            heard_.append(buffer, static_cast<size_t>(n));
            if (!answered && heard_.find("\x11\x12\x01\x11\x13") != std::string::npos) {
                const char version[] = "\x11\x12\x01SIM 2.10\x11\x13";
                answered = ::write(master_, version, sizeof version - 1) > 0;
            }
        }
    }

    int master_ = -1, slave_ = -1;
    std::string path_;
    std::atomic<bool> done_{false};
    std::thread reader_;
    std::mutex mutex_;
    std::string heard_;
};

// A 30-slot table asked of a board that answered once and went silent: every request
// waits its second. A signal or --seconds in the middle of that abandons the sequence:
// idle is asked for, the log is closed, and the run ends in about a second, not after
// the rest of the table.
TEST_F(RecordLife, AStopWhileASilentBoardIsAskedForATableEndsAtOnce) {
    {
        std::ofstream table(device.root + "/thirty.kct", std::ios::binary);
        table << "2\r\nThirty channels\r\n";
        for (int c = 1; c <= 30; ++c) table << "0," << c * 10 << ",slot\n";
    }
    const struct {
        const char* what;
        int signal;
        std::vector<std::string> args;
    } stops[] = {
        {"SIGTERM", SIGTERM, {}},
        {"--seconds", 0, {"--seconds", "3"}},
    };
    for (const auto& stop : stops) {
        SCOPED_TRACE(stop.what);
        SilentBoard board;
        log = device.root + "/silent.zrn";
        std::vector<std::string> args{"--table", device.root + "/thirty.kct", "--port", board.path()};
        args.insert(args.end(), stop.args.begin(), stop.args.end());
        ASSERT_TRUE(start(args));
        ASSERT_TRUE(waitFor([&] { return board.count(17) >= 1; }, 15s)) << child.err();  // the first slot
        if (stop.signal) child.signal(stop.signal);
        const auto asked = std::chrono::steady_clock::now();
        ASSERT_EQ(child.wait(stop.signal ? 5s : 10s), 0) << child.err();
        std::printf("%s: ended %.1f s after the first slot was asked for\n", stop.what,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count());
        EXPECT_LT(board.count(17), 30u) << "the rest of the table was not sent";
        ASSERT_FALSE(board.requests().empty());
        EXPECT_EQ(board.requests().back(), (std::vector<uint8_t>{8, 0})) << "the board is asked for idle";
        EXPECT_TRUE(testing::readLogged(log).readable);
    }
}

struct BadLine {
    const char* what;
    std::vector<std::string> args;
    int status;
    std::string says;
};

// Nothing is begun that cannot be finished: no log is left behind, the board is not asked.
TEST_F(RecordLife, BadInputSaysWhatIsWrongAndLeavesNoLog) {
    const std::string root = device.root;
    std::filesystem::create_directories(root + "/locked");
    std::filesystem::permissions(root + "/locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    {
        std::ofstream(root + "/bad.kct") << "not a channel table\n";
    }
    int master = -1, slave = -1;
    char silent[128] = {};
    ASSERT_EQ(openpty(&master, &slave, silent, nullptr, nullptr), 0);  // a port where no board answers
    const std::string out = root + "/never.zrn";
    const std::string samples = std::string(ZARN_SOURCE_DIR) + "/resources/samples";
    const std::string token = root + "/token", sharedToken = root + "/shared-token";
    std::ofstream(token) << "a-token-long-enough\n";
    std::ofstream(sharedToken) << "a-token-long-enough\n";
    std::filesystem::permissions(token, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::permissions(sharedToken, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                                  std::filesystem::perms::group_read);
    const int taken = socket(AF_INET, SOCK_STREAM, 0);  // a port another program listens on
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof any;
    ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    ASSERT_EQ(listen(taken, 1), 0);
    getsockname(taken, reinterpret_cast<sockaddr*>(&any), &length);
    const std::string inUse = std::to_string(ntohs(any.sin_port));
    const BadLine cases[] = {
        {"a frequency in neither band", {"--single", "1000", "-o", out}, 2, "neither band"},
        {"two frequencies in one band", {"--single", "870.03,881.52", "-o", out}, 2, "one in each band"},
        {"a window across the bands", {"--spectrum", "880:1950", "-o", out}, 2, "across both bands"},
        {"a reversed window", {"--spectrum", "890:880", "-o", out}, 2, "reversed"},
        {"a window of a single point", {"--spectrum", "881.50:881.51", "-o", out}, 2,
         "the narrowest window that records here is 881.50:881.53"},
        {"not a band", {"--servers", "900", "-o", out}, 2, "not 800 or 1900"},
        {"no measurement", {"-o", out}, 2, "exactly one of"},
        {"two measurements", {"--servers", "800", "--single", "881.52", "-o", out}, 2, "exactly one of"},
        {"no log named", {"--servers", "800"}, 2, "-o FILE.zrn is required"},
        {"a raster that is none", {"--servers", "800", "--raster", "40", "-o", out}, 2, "not 30, 50 or 200"},
        {"an unknown option", {"--servers", "800", "--fast", "-o", out}, 2, "unknown option"},
        {"a missing table", {"--table", root + "/none.kct", "-o", out}, 1,
         "none.kct: File Open Error: No such file or directory\nzarn-record: hint: the sample tables are in "
         "/usr/share/zarn/samples"},
        {"a table numbered at another raster", {"--table", samples + "/pcs_survey.kct", "-o", out, "--port", "/dev/zarn-none"},
         3, "raster, not at the 30 kHz one recorded at (1200 'Band edge 1990.00' is 1966.02 MHz here): give --raster 50"},
        {"a table that is none", {"--table", root + "/bad.kct", "-o", out}, 1, "Invalid Channel Table."},
        {"a folder that is not there", {"--servers", "800", "-o", root + "/no/such/x.zrn"}, 1, "does not exist"},
        {"a port that is not there", {"--servers", "800", "-o", out, "--port", "/dev/zarn-none"}, 3, "no board found"},
        {"a port where nothing answers", {"--servers", "800", "-o", out, "--port", silent}, 3, "no board answers on"},
        {"a page on port 0", {"--servers", "800", "-o", out, "--listen", "0"}, 2, "port from 1 to 65535"},
        {"an IPv6 page without brackets", {"--servers", "800", "-o", out, "--listen", "::1:80"}, 2, "in brackets"},
        {"a token without a page", {"--servers", "800", "-o", out, "--listen-token", token}, 2, "needs --listen"},
        {"a token others may read", {"--servers", "800", "-o", out, "--listen", "8080", "--listen-token", sharedToken},
         2, "mode 640 lets others read the token"},
        {"a name to answer without a page", {"--servers", "800", "-o", out, "--allow-host", "a.example"}, 2,
         "--allow-host needs --listen"},
        {"a name to answer with a port",
         {"--servers", "800", "-o", out, "--listen", "8080", "--allow-host", "a.example:80"}, 2,
         "--allow-host 'a.example:80' is not a host name without a port"},
        {"a page on a port in use", {"--servers", "800", "-o", out, "--listen", inUse}, 1,
         "cannot listen on 127.0.0.1:" + inUse + ": Address already in use"},
        {"tasks and a measurement", {"--tasks", "--archive", "dbname=x", "--site", "s", "--single", "881.52", "-o", root},
         2, "give none of --single"},
        {"tasks and a page", {"--tasks", "--archive", "dbname=x", "--site", "s", "--listen", "8080", "-o", root}, 2,
         "are not taken with it"},
        {"tasks without an archive", {"--tasks", "--site", "s", "-o", root}, 2, "--tasks needs --archive"},
        {"tasks into a log", {"--tasks", "--archive", "dbname=x", "--site", "s", "-o", out}, 1,
         "not a folder this program may write in"},
    };
    for (const BadLine& c : cases) {
        RecordChild bad;
        ASSERT_TRUE(bad.start(c.args, {{"ZARN_ROOT", root}}));
        EXPECT_EQ(bad.wait(15s), c.status) << c.what << ": " << bad.err();
        EXPECT_NE(bad.err().find(c.says), std::string::npos) << c.what << ": " << bad.err();
        EXPECT_FALSE(std::filesystem::exists(out)) << c.what;
    }
    {  // a device root where no board's port was ever registered: the simulator is the way to try it
        RecordChild bad;
        std::filesystem::create_directories(root + "/bare");
        ASSERT_TRUE(bad.start({"--servers", "800", "-o", out}, {{"ZARN_ROOT", root + "/bare"}}));
        EXPECT_EQ(bad.wait(15s), 3) << bad.err();
        EXPECT_NE(bad.err().find("start the simulator first (zarn-board-sim &)"), std::string::npos) << bad.err();
    }
    if (getuid() != 0) {  // root writes into any folder
        RecordChild bad;
        ASSERT_TRUE(bad.start({"--servers", "800", "-o", root + "/locked/x.zrn"}, {{"ZARN_ROOT", root}}));
        EXPECT_EQ(bad.wait(15s), 1) << bad.err();
        EXPECT_NE(bad.err().find("not writable"), std::string::npos) << bad.err();
    }
    close(master);
    close(slave);
    close(taken);
    std::filesystem::permissions(root + "/locked", std::filesystem::perms::owner_all);
}

}  // namespace
}  // namespace zarn
