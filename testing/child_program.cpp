#include "testing/child_program.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

namespace zarn {

ChildProgram::ChildProgram(const std::string& path, const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env, const std::string& log, int input)
    : log_(log) {
    pid_ = fork();
    if (pid_ != 0) return;
    if (input >= 0) dup2(input, STDIN_FILENO);
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    if (FILE* out = std::freopen(log.c_str(), "w", stderr)) dup2(fileno(out), STDOUT_FILENO);
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    _exit(127);
}

bool ChildProgram::running() {
    if (pid_ <= 0) return false;
    if (waitpid(pid_, nullptr, WNOHANG) == 0) return true;
    pid_ = -1;
    return false;
}

void ChildProgram::stop() {
    if (!running()) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 50 && running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
}

std::string ChildProgram::output() const {
    std::ifstream in(log_);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    return text.size() > 2000 ? text.substr(text.size() - 2000) : text;
}

}  // namespace zarn
