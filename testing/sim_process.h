#pragma once
// SimProcess: runs zarn-board-sim as a child process, learns its terminal's path from its
// first line of output, and at the end stops it with SIGTERM and reads its report.

#include <sys/types.h>

#include <string>
#include <vector>

namespace zarn {

class SimProcess {
public:
    ~SimProcess();
    // Starts the simulator with args; false (and error) when it does not print a path
    // within the given time.
    bool start(const std::string& program, const std::vector<std::string>& args, std::string& error,
               int waitMs = 5000);
    const std::string& ptyPath() const { return ptyPath_; }
    // SIGTERM, then the rest of its output; true when it ended with status 0.
    bool stop();
    // SIGKILL: gone at once, as a crash or a pulled adapter, its registry key left behind.
    void killHard();
    const std::string& report() const { return report_; }
    // Frames of a type the simulator reported sending (type < 0: all frames); -1 if absent.
    long framesSent(int type = -1) const;

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string ptyPath_, report_;
};

}  // namespace zarn
