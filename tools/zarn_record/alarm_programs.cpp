#include "tools/zarn_record/alarm_programs.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "survey/csv_rows.h"

extern char** environ;

namespace zarn {
namespace {

using namespace std::chrono_literals;

constexpr const char* kProgram = "zarn-record";
constexpr size_t kMostWaiting = 16;
constexpr auto kKillAfterTerm = 2s;

void say(const std::string& text) { std::fprintf(stderr, "%s: --on-alarm %s\n", kProgram, text.c_str()); }

// Of zarn-record's environment, only what says where and in what language a program
// runs: never its secrets (PGPASSWORD, the broker, the archive).
bool passedOn(const char* variable) {
    for (const char* name : {"PATH=", "HOME=", "USER=", "LOGNAME=", "LANG=", "LANGUAGE=", "TZ=", "LC_"})
        if (std::strncmp(variable, name, std::strlen(name)) == 0) return true;
    return false;
}

std::vector<std::string> environmentOf(const AlarmRule& rule, const AlarmState& s) {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e)
        if (passedOn(*e)) env.emplace_back(*e);
    if (!std::getenv("PATH")) env.emplace_back("PATH=/usr/local/bin:/usr/bin:/bin");
    std::string mhz, dbm;
    appendMegahertz(mhz, s.hz);
    if (s.level) appendDbm(dbm, static_cast<int16_t>(*s.level));
    env.push_back("ZARN_ALARM_NAME=" + s.name);
    env.push_back(std::string("ZARN_ALARM_STATE=") + (s.raised ? "ON" : "OFF"));
    env.push_back("ZARN_ALARM_MHZ=" + mhz);
    env.push_back("ZARN_ALARM_DBM=" + dbm);
    env.push_back("ZARN_ALARM_TIME=" + s.time);
    env.push_back("ZARN_ALARM_RULE=" + rule.text());
    return env;
}

}  // namespace

AlarmPrograms::AlarmPrograms(std::string program, double limitSeconds, size_t rules)
    : program_(std::move(program)),
      limit_(static_cast<long long>(limitSeconds * 1000)),
      runs_(rules) {}

AlarmPrograms::~AlarmPrograms() { finish(Clock::now()); }

void AlarmPrograms::changed(size_t rule, const AlarmRule& written, const AlarmState& state) {
    if (program_.empty() || rule >= runs_.size()) return;
    Run& run = runs_[rule];
    run.waiting.push_back(environmentOf(written, state));
    run.waitingWhat.push_back(state.name + (state.raised ? " ON" : " OFF"));
    if (run.waiting.size() > kMostWaiting) {
        say("for " + run.waitingWhat.front() + " not run: " + std::to_string(kMostWaiting) +
            " changes of the rule wait on a run that has not ended");
        run.waiting.pop_front();
        run.waitingWhat.pop_front();
    }
    if (run.pid < 0) start(run);
}

void AlarmPrograms::start(Run& run) {
    if (run.waiting.empty()) return;
    const std::vector<std::string> env = std::move(run.waiting.front());
    run.what = run.waitingWhat.front();
    run.waiting.pop_front();
    run.waitingWhat.pop_front();
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program_.c_str()), nullptr};

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&files, STDERR_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&files, STDERR_FILENO + 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGCHLD, SIGHUP}) sigaddset(&defaults, s);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, program_.c_str(), &files, &attributes, argv, envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    if (error != 0) {
        say(program_ + " for " + run.what + " could not start: " + std::strerror(error));
        start(run);
        return;
    }
    run.pid = pid;
    run.started = Clock::now();
    run.terminated = false;
}

// Reaps the run once it has ended; past its limit it is terminated, then killed.
void AlarmPrograms::reap(Run& run, bool wait) {
    if (run.pid < 0) return;
    int status = 0;
    const pid_t done = ::waitpid(run.pid, &status, wait ? 0 : WNOHANG);
    if (done == 0) {
        const auto age = Clock::now() - run.started;
        if (!run.terminated && age >= limit_) {
            say(program_ + " for " + run.what + " still runs after " + std::to_string(limit_.count() / 1000) +
                " s: stopped");
            ::kill(-run.pid, SIGTERM);
            run.terminated = true;
        } else if (run.terminated && age >= limit_ + kKillAfterTerm) {
            ::kill(-run.pid, SIGKILL);
        }
        return;
    }
    if (done == run.pid && !run.terminated) {
        if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
            say(program_ + " for " + run.what + " ended with status " + std::to_string(WEXITSTATUS(status)));
        else if (WIFSIGNALED(status))
            say(program_ + " for " + run.what + " ended by signal " + std::to_string(WTERMSIG(status)));
    }
    run.pid = -1;
}

bool AlarmPrograms::running() const {
    for (const Run& run : runs_)
        if (run.pid > 0) return true;
    return false;
}

void AlarmPrograms::poll() {
    for (Run& run : runs_) {
        reap(run, false);
        if (run.pid < 0) start(run);
    }
}

void AlarmPrograms::finish(Clock::time_point deadline) {
    for (Run& run : runs_) {
        if (!run.waiting.empty())
            say(std::to_string(run.waiting.size()) + " run(s) for " + run.waitingWhat.front().substr(0, run.waitingWhat.front().find(' ')) +
                " not made: the recording ended");
        run.waiting.clear();
        run.waitingWhat.clear();
    }
    for (;;) {
        bool running = false;
        for (Run& run : runs_) {
            reap(run, false);
            running = running || run.pid >= 0;
        }
        if (!running || Clock::now() >= deadline) break;
        std::this_thread::sleep_for(20ms);
    }
    for (Run& run : runs_) {
        if (run.pid < 0) continue;
        say(program_ + " for " + run.what + " still runs at the end: killed");
        ::kill(-run.pid, SIGKILL);
        run.terminated = true;
        reap(run, true);
    }
}

}  // namespace zarn
