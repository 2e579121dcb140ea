#include "testing/sim_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace zarn {

SimProcess::~SimProcess() { stop(); }

bool SimProcess::start(const std::string& program, const std::vector<std::string>& args, std::string& error,
                       int waitMs) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        error = "pipe failed";
        return false;
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    output_ = pipeFds[0];
    if (pid_ < 0) {
        error = "fork failed";
        return false;
    }
    std::string line;
    while (line.find('\n') == std::string::npos) {
        pollfd p{output_, POLLIN, 0};
        char buf[256];
        ssize_t n = 0;
        if (poll(&p, 1, waitMs) <= 0 || (n = read(output_, buf, sizeof buf)) <= 0) {
            error = "the simulator printed no terminal path";
            return false;
        }
        line.append(buf, static_cast<size_t>(n));
    }
    ptyPath_ = line.substr(0, line.find('\n'));
    report_ = line.substr(line.find('\n') + 1);
    return true;
}

bool SimProcess::stop() {
    if (pid_ <= 0) return false;
    kill(pid_, SIGTERM);
    char buf[512];
    ssize_t n;
    while ((n = read(output_, buf, sizeof buf)) > 0) report_.append(buf, static_cast<size_t>(n));
    close(output_);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void SimProcess::killHard() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    close(output_);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

long SimProcess::framesSent(int type) const {
    const std::string key = type < 0 ? "frames sent: " : "  type " + std::to_string(type) + ": ";
    const size_t at = report_.find(key);
    return at == std::string::npos ? -1 : std::atol(report_.c_str() + at + key.size());
}

}  // namespace zarn
