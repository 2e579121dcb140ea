#include "testing/servers/server_process.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "testing/servers/wait_until.h"

extern char** environ;

namespace zarn::testing {
namespace {

using namespace std::chrono_literals;

// The tests' environment with the command's entries laid over it. HOME is the server's
// working folder, so nothing it keeps there lands in a real home.
std::vector<std::string> environment(const ServerCommand& command, const ServerUser& user) {
    std::map<std::string, std::string> all;
    for (char** e = environ; *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (eq) all[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
    }
    if (user.drops()) all["USER"] = all["LOGNAME"] = user.name;
    if (!command.workdir.empty()) all["HOME"] = command.workdir;
    for (const auto& [name, value] : command.env) all[name] = value;
    std::vector<std::string> out;
    for (const auto& [name, value] : all) out.push_back(name + "=" + value);
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

// In the child, between fork and exec: only system calls. Reports a failure through `report`.
[[noreturn]] void becomeServer(const ServerUser& user, pid_t parent, int log, int report, const char* workdir,
                               char* const argv[], char* const envp[]) {
    setpgid(0, 0);
    resetSignals();
    dup2(log, STDOUT_FILENO);
    dup2(log, STDERR_FILENO);
    const int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, STDIN_FILENO);
    int step = 0;
    if (!user.become()) step = 1;
    // After the change of user, which clears it.
    if (step == 0 && prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) step = 2;
    if (step == 0 && getppid() != parent) _exit(127);
    if (step == 0 && *workdir && chdir(workdir) != 0) step = 3;
    if (step == 0) {
        // Whatever the tests hold open (ctest's pipes among them) stays with the tests.
        if (report > 3) close_range(3, static_cast<unsigned>(report - 1), 0);
        close_range(static_cast<unsigned>(report + 1), ~0U, 0);
        execvpe(argv[0], argv, envp);
        step = 4;
    }
    const int codes[2] = {step, errno};
    (void)!write(report, codes, sizeof codes);
    _exit(127);
}

const char* stepName(int step) {
    switch (step) {
        case 1: return "cannot change to the server's user";
        case 2: return "cannot tie the server to the tests' life";
        case 3: return "cannot enter the working folder";
        default: return "cannot run";
    }
}

bool groupAlive(pid_t group) {
    DIR* proc = opendir("/proc");
    if (!proc) return ::kill(-group, 0) == 0;
    bool alive = false;
    while (dirent* entry = readdir(proc)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        const size_t close = text.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        long ppid = 0, pgrp = 0;
        if (std::sscanf(text.c_str() + close + 1, " %c %ld %ld", &state, &ppid, &pgrp) == 3 && pgrp == group &&
            state != 'Z') {
            alive = true;
            break;
        }
    }
    closedir(proc);
    return alive;
}

// Every process below `root`, found by their parents. A server's children may
// leave its process group (PostgreSQL's backends do), so the group alone misses them.
std::vector<pid_t> descendantsOf(pid_t root) {
    std::vector<std::pair<pid_t, pid_t>> parentOf;  // (pid, ppid)
    if (DIR* proc = opendir("/proc")) {
        while (dirent* entry = readdir(proc)) {
            if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
            std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
            std::string text((std::istreambuf_iterator<char>(stat)), {});
            const size_t close = text.rfind(')');
            char state = 0;
            long ppid = 0;
            if (close != std::string::npos && std::sscanf(text.c_str() + close + 1, " %c %ld", &state, &ppid) == 2)
                parentOf.emplace_back(static_cast<pid_t>(std::atol(entry->d_name)), static_cast<pid_t>(ppid));
        }
        closedir(proc);
    }
    std::vector<pid_t> found{root};
    for (size_t i = 0; i < found.size(); ++i)
        for (const auto& [pid, ppid] : parentOf)
            if (ppid == found[i]) found.push_back(pid);
    found.erase(found.begin());
    return found;
}

// True while `pid` exists and is no zombie; one of ours that died is reaped here.
bool processAlive(pid_t pid) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const size_t close = text.rfind(')');
    char state = 0;
    return close != std::string::npos && std::sscanf(text.c_str() + close + 1, " %c", &state) == 1 && state != 'Z';
}

}  // namespace

ServerProcess::ServerProcess(ServerCommand command, ServerUser user, std::string logPath)
    : command_(std::move(command)), user_(std::move(user)), logPath_(std::move(logPath)) {}

bool ServerProcess::start(std::string& error) {
    if (running()) {
        error = command_.program + " is running already";
        return false;
    }
    const int log = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (log < 0) {
        error = "cannot write the log " + logPath_ + ": " + std::strerror(errno);
        return false;
    }
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        close(log);
        error = "pipe failed";
        return false;
    }
    std::vector<std::string> args{command_.program};
    args.insert(args.end(), command_.args.begin(), command_.args.end());
    std::vector<std::string> env = environment(command_, user_);
    const std::vector<char*> argv = pointers(args), envp = pointers(env);
    // What the server forks and leaves behind comes to us, not to an init that may
    // never reap it.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) becomeServer(user_, parent, log, report[1], command_.workdir.c_str(), argv.data(), envp.data());
    close(log);
    close(report[1]);
    if (pid_ < 0) {
        close(report[0]);
        error = "fork failed";
        return false;
    }
    setpgid(pid_, pid_);
    int codes[2] = {0, 0};
    const ssize_t got = read(report[0], codes, sizeof codes);  // nothing: exec went through
    close(report[0]);
    if (got == sizeof codes) {
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        error = std::string(stepName(codes[0])) + " " + command_.program + ": " + std::strerror(codes[1]);
        return false;
    }
    return true;
}

bool ServerProcess::waitReady(const std::function<bool()>& ready, std::chrono::milliseconds timeout,
                              std::string& error) {
    bool ended = false;
    const bool ok = waitUntil(
        [&] {
            if (ready()) return true;
            ended = !running();
            return ended;
        },
        timeout);
    if (ok && !ended) return true;
    error = command_.program + (ended ? " ended before it was ready" : " was not ready in time") + "; its log:\n" +
            tail();
    return false;
}

bool ServerProcess::running() {
    if (pid_ <= 0) return false;
    if (waitpid(pid_, nullptr, WNOHANG) == 0) return true;
    // The leader is gone; whatever it forked goes with it.
    ::kill(-pid_, SIGKILL);
    waitGroupGone(5s);
    pid_ = -1;
    return false;
}

void ServerProcess::stop(std::chrono::milliseconds grace) {
    if (!running()) return;
    ::kill(-pid_, command_.stopSignal);
    if (!waitUntil([&] { return !running(); }, grace)) kill();
}

// As a crash, but the next start must not find a child of this one still holding
// what the server holds (PostgreSQL's shared memory).
void ServerProcess::kill() {
    if (pid_ <= 0) return;
    const std::vector<pid_t> children = descendantsOf(pid_);
    ::kill(-pid_, SIGKILL);
    for (const pid_t child : children) ::kill(child, SIGKILL);
    waitpid(pid_, nullptr, 0);
    waitGroupGone(5s);
    waitUntil([&] { return std::none_of(children.begin(), children.end(), processAlive); }, 5s, 5ms);
    pid_ = -1;
}

void ServerProcess::waitGroupGone(std::chrono::milliseconds timeout) {
    const pid_t group = pid_;
    waitUntil(
        [&] {
            while (waitpid(-group, nullptr, WNOHANG) > 0) {
                // an orphan of the server, handed to us as its subreaper
            }
            return !groupAlive(group);
        },
        timeout, 5ms);
}

std::string ServerProcess::log() const {
    std::ifstream in(logPath_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ServerProcess::tail(size_t bytes) const {
    const std::string text = log();
    return text.size() > bytes ? text.substr(text.size() - bytes) : text;
}

}  // namespace zarn::testing
