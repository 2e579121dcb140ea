#include "platform/sdl/xvfb_server.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zarn {

namespace {

std::string readLine(int fd) {
    std::string text;
    pollfd p{fd, POLLIN, 0};
    char c;
    while (poll(&p, 1, 20000) > 0 && read(fd, &c, 1) == 1) {
        if (c == '\n') break;
        text += c;
    }
    return text;
}

}  // namespace

XvfbServer::XvfbServer(const std::string& screen) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid_ > 0) {
        std::string number = readLine(fds[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    close(fds[0]);
}

XvfbServer::~XvfbServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

}  // namespace zarn
