#include "testing/record_child.h"

#include <errno.h>
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "recording/log_reader.h"

namespace zarn::testing {

using namespace std::chrono_literals;

RecordChild::~RecordChild() {
    held_ = false;
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (in_ >= 0) close(in_);
    if (reader_.joinable()) reader_.join();
    if (errFd_ >= 0) close(errFd_);
}

namespace {

// In a child: zarn-record with `args`, the environment the tests give it.
[[noreturn]] void execRecord(const std::vector<std::string>& args,
                             const std::vector<std::pair<std::string, std::string>>& env) {
    const std::string path = std::string(ZARN_BIN_DIR) + "/zarn-record";
    unsetenv("ZARN_PORT");
    setenv("ZARN_GPSD", "off", 1);  // a gpsd on this machine stays out of it
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    _exit(127);
}

volatile pid_t shellJob = 0;
void giveJobTheForeground(int) { tcsetpgrp(STDIN_FILENO, shellJob); }

// The shell on the terminal: starts the job in a process group of its own, tells its
// number on `told`, keeps the foreground until SIGUSR1, and ends with the job's status
// (kStopped when it stopped).
[[noreturn]] void runShell(const std::vector<std::string>& args,
                           const std::vector<std::pair<std::string, std::string>>& env, int told) {
    const pid_t job = fork();
    if (job == 0) {
        setpgid(0, 0);
        execRecord(args, env);
    }
    setpgid(job, job);
    shellJob = job;
    if (::write(told, &job, sizeof job) != sizeof job) _exit(127);
    close(told);
    struct sigaction fg {};
    fg.sa_handler = giveJobTheForeground;
    sigaction(SIGUSR1, &fg, nullptr);
    int status = 0;
    while (waitpid(job, &status, WUNTRACED) < 0 && errno == EINTR) {
    }
    if (WIFSTOPPED(status)) {
        kill(job, SIGKILL);
        waitpid(job, &status, 0);
        _exit(TerminalJob::kStopped);
    }
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128);
}

}  // namespace

bool RecordChild::start(const std::vector<std::string>& args,
                        const std::vector<std::pair<std::string, std::string>>& env,
                        const std::function<void()>& beforeExec) {
    // Standard error goes to a file without a name: read through the descriptor kept here,
    // it is gone with the descriptor, however the test ends.
    char errTemplate[] = "/tmp/zarn-record-err-XXXXXX";
    const int err = mkostemp(errTemplate, O_CLOEXEC);
    if (err < 0) return false;
    unlink(errTemplate);
    if (errFd_ >= 0) close(errFd_);
    errFd_ = err;
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return false;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (beforeExec) beforeExec();
        execRecord(args, env);
    }
    close(in[0]);
    close(out[1]);
    in_ = in[1];
    const auto readWhenLetGo = [this](int fd, char* to, size_t size) {
        while (held_) std::this_thread::sleep_for(10ms);
        return read(fd, to, size);
    };
    reader_ = std::thread([this, fd = out[0], readWhenLetGo] {
        char buffer[4096];
        for (ssize_t n; (n = readWhenLetGo(fd, buffer, sizeof buffer)) > 0;) {
            std::lock_guard lock(mutex_);
            out_.append(buffer, static_cast<size_t>(n));
        }
        close(fd);
    });
    return pid_ > 0;
}

void RecordChild::writeLine(const std::string& line) { write(line + "\n"); }

void RecordChild::write(const std::string& text) {
    if (in_ >= 0 && ::write(in_, text.data(), text.size()) < 0) return;
}

void RecordChild::closeInput() {
    if (in_ >= 0) close(in_);
    in_ = -1;
}

void RecordChild::signal(int signal) {
    if (pid_ > 0) kill(pid_, signal);
}

bool RecordChild::running() {
    siginfo_t info{};
    // WNOWAIT leaves its status for wait(); waitpid does not take that flag, waitid does.
    return pid_ > 0 && waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

int RecordChild::wait(std::chrono::milliseconds most) {
    if (pid_ <= 0) return -1;
    int status = 0;
    pid_t done = 0;
    const auto end = std::chrono::steady_clock::now() + most;
    while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(20ms);
    if (done == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    held_ = false;
    if (reader_.joinable()) reader_.join();
    return done != 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string RecordChild::out() {
    std::lock_guard lock(mutex_);
    return out_;
}

std::string RecordChild::err() const {
    std::string text;
    char buffer[4096];
    for (ssize_t n; errFd_ >= 0 && (n = pread(errFd_, buffer, sizeof buffer, static_cast<off_t>(text.size()))) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    return text;
}

TerminalJob::~TerminalJob() {
    endJob();
    if (terminal_ >= 0) close(terminal_);
    if (reader_.joinable()) reader_.join();
}

// A job in the background outlives its shell: both are ended.
void TerminalJob::endJob() {
    if (job_ > 0) kill(-job_, SIGKILL);
    if (shell_ > 0) {
        kill(shell_, SIGKILL);
        waitpid(shell_, nullptr, 0);
    }
    shell_ = job_ = -1;
}

bool TerminalJob::start(const std::vector<std::string>& args,
                        const std::vector<std::pair<std::string, std::string>>& env) {
    int told[2];
    if (pipe2(told, O_CLOEXEC) != 0) return false;
    shell_ = forkpty(&terminal_, nullptr, nullptr, nullptr);
    if (shell_ == 0) {
        close(told[0]);
        runShell(args, env, told[1]);
    }
    close(told[1]);
    const bool known = shell_ > 0 && read(told[0], &job_, sizeof job_) == sizeof job_;
    close(told[0]);
    if (!known) return false;
    reader_ = std::thread([this, fd = dup(terminal_)] {
        char buffer[4096];
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
            std::lock_guard lock(mutex_);
            screen_.append(buffer, static_cast<size_t>(n));
        }
        close(fd);
    });
    return true;
}

void TerminalJob::type(const std::string& keys) {
    if (::write(terminal_, keys.data(), keys.size()) < 0) return;
}

void TerminalJob::bringToForeground() { kill(shell_, SIGUSR1); }

int TerminalJob::wait(std::chrono::milliseconds most) {
    if (shell_ <= 0) return -1;
    int status = 0;
    pid_t done = 0;
    const auto end = std::chrono::steady_clock::now() + most;
    while ((done = waitpid(shell_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(20ms);
    if (done == 0) endJob();
    shell_ = job_ = -1;
    return done != 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string TerminalJob::screen() const {
    std::lock_guard lock(mutex_);
    return screen_;
}

LoggedRecords readLogged(const std::string& path) {
    LoggedRecords logged;
    LogReader reader;
    LogHeader header;
    if (!reader.open(path) || !reader.readHeader(header)) return logged;
    logged.readable = true;
    logged.pcsRaster = header.pcsRaster;
    forEachRecord(reader, [&](const LogRecord& r) {
        logged.records.push_back({r.offset, r.type, r.note, {r.payload, r.payload + r.length}});
        return true;
    });
    logged.damaged = reader.damagedStretches();
    return logged;
}

std::vector<std::vector<uint8_t>> requestFrames(const std::string& capture) {
    std::vector<std::vector<uint8_t>> frames;
    for (size_t at = capture.find("\x11\x12"); at != std::string::npos; at = capture.find("\x11\x12", at)) {
        std::vector<uint8_t> frame;
        size_t i = at + 2;
        for (; i + 1 < capture.size(); ++i) {
            if (capture[i] != '\x11') {
                frame.push_back(static_cast<uint8_t>(capture[i]));
                continue;
            }
            if (capture[i + 1] == '\x13') break;
            frame.push_back(0x11);  // 0x11 0x14 stands for 0x11
            ++i;
        }
        if (i + 1 >= capture.size()) break;
        frames.push_back(frame);
        at = i + 2;
    }
    return frames;
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds most) {
    const auto end = std::chrono::steady_clock::now() + most;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

}  // namespace zarn::testing
