#include "testing/servers/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zarn::testing {

ProgramRun runProgram(const std::vector<std::string>& argv, const std::string& input, const ServerUser& user) {
    ProgramRun run;
    int in[2], out[2];
    if (argv.empty() || pipe2(in, O_CLOEXEC) != 0) return run;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return run;
    }
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(out[1], STDERR_FILENO);
        resetSignals();
        if (!user.become()) _exit(126);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    if (pid < 0) {
        close(in[1]);
        close(out[0]);
        return run;
    }
    // Input and output both through poll, so a tool that answers before it has read all
    // its input does not deadlock with us. A tool that ends unread raises SIGPIPE: it is
    // held for this thread and taken back below, not ignored for the whole test process
    // (and every program it starts after).
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    size_t sent = 0;
    int toChild = in[1];
    if (input.empty()) {
        close(toChild);
        toChild = -1;
    }
    for (;;) {
        pollfd fds[2] = {{out[0], POLLIN, 0}, {toChild, POLLOUT, 0}};
        if (poll(fds, toChild >= 0 ? 2 : 1, -1) < 0) break;
        if (toChild >= 0 && fds[1].revents) {
            const ssize_t n = write(toChild, input.data() + sent, input.size() - sent);
            if (n > 0) sent += static_cast<size_t>(n);
            if (n <= 0 || sent == input.size()) {
                close(toChild);
                toChild = -1;
            }
        }
        if (fds[0].revents) {
            char buf[4096];
            const ssize_t n = read(out[0], buf, sizeof buf);
            if (n <= 0) break;
            run.output.append(buf, static_cast<size_t>(n));
        }
    }
    if (toChild >= 0) close(toChild);
    close(out[0]);
    const timespec now{};
    while (sigtimedwait(&pipeSignal, nullptr, &now) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace zarn::testing
