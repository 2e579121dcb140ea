#pragma once
// RecordChild: zarn-record run as a user runs it, for end-to-end tests: its standard
// input a pipe the test writes lines to, its standard output read as it comes (a reader
// on the other end of a pipe), its standard error kept. Killed if still running at the end.
//
// LoggedRecords: a log read back with the log reader, record by record.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace zarn::testing {

class RecordChild {
public:
    RecordChild() = default;
    ~RecordChild();
    RecordChild(const RecordChild&) = delete;
    RecordChild& operator=(const RecordChild&) = delete;

    // `beforeExec` runs in the child (limits, signal dispositions).
    bool start(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& env = {},
               const std::function<void()>& beforeExec = {});
    void writeLine(const std::string& line);
    // A reader that stops reading: the pipe fills and the program's writes wait.
    void holdOutput(bool held) { held_ = held; }
    void write(const std::string& text);  // as it stands, no newline added
    void closeInput();                    // the end of standard input
    void signal(int signal);
    // The exit status; -1 when it did not end within `most` (it is killed then) or was killed.
    int wait(std::chrono::milliseconds most);
    bool running();
    pid_t pid() const { return pid_; }
    std::string out();  // standard output so far
    std::string err() const;

private:
    pid_t pid_ = -1;
    int in_ = -1;
    int errFd_ = -1;  // standard error, in a file already unlinked
    std::thread reader_;
    std::atomic<bool> held_{false};
    mutable std::mutex mutex_;
    std::string out_;
};

// zarn-record started as `zarn-record ... &` from an interactive shell: a job of its own
// on a pseudo-terminal, its standard input and error the terminal, whose foreground the
// shell (a process of this test's) keeps until bringToForeground(), as `fg` gives it.
class TerminalJob {
public:
    static constexpr int kStopped = 99;  // wait()'s status when the terminal stopped the job

    TerminalJob() = default;
    ~TerminalJob();
    TerminalJob(const TerminalJob&) = delete;
    TerminalJob& operator=(const TerminalJob&) = delete;

    bool start(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& env);
    void type(const std::string& keys);  // at the keyboard
    void bringToForeground();
    // The job's exit status; kStopped when it was stopped, -1 when it did not end within `most`.
    int wait(std::chrono::milliseconds most);
    std::string screen() const;  // what the terminal showed

private:
    void endJob();

    pid_t shell_ = -1;
    pid_t job_ = -1;
    int terminal_ = -1;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::string screen_;
};

struct LoggedRecord {
    size_t offset = 0;
    uint8_t type = 0;
    std::string note;
    std::vector<uint8_t> payload;
};
struct LoggedRecords {
    bool readable = false;  // the header read
    uint32_t pcsRaster = 0;
    std::vector<LoggedRecord> records;
    size_t damaged = 0;
};
LoggedRecords readLogged(const std::string& path);
// zarn-record's log opens with the board's version and serial-number frames.
constexpr size_t kBoardFrames = 2;

// The request frames in bytes the simulator captured (0x11 0x12 ... 0x11 0x13, unescaped),
// keep-alives and noise left out.
std::vector<std::vector<uint8_t>> requestFrames(const std::string& capture);

std::string readWholeFile(const std::string& path);
// Waits until `done` or `most` has passed; true when done.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds most);

}  // namespace zarn::testing
