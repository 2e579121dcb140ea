#include "testing/gps_fake.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "testing/servers/free_port.h"

namespace zarn::testing {

bool GpsFake::start(const std::string& nmea, double cycleSeconds, std::string& error) {
    port_ = freePort();
    const std::string port = std::to_string(port_);
    const std::string cycle = std::to_string(cycleSeconds);
    pid_ = fork();
    if (pid_ < 0) {
        error = "fork failed";
        return false;
    }
    if (pid_ == 0) {
        setpgid(0, 0);  // gpsfake and its gpsd, to be stopped as one
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execlp("gpsfake", "gpsfake", "-1", "-q", "-c", cycle.c_str(), "-P", port.c_str(), nmea.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    setpgid(pid_, pid_);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!acceptsConnections(port_)) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error = "gpsfake ended before its gpsd listened (is gpsd-clients installed?)";
            return false;
        }
        if (std::chrono::steady_clock::now() > until) {
            stop();
            error = "gpsd under gpsfake did not listen on port " + port;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

void GpsFake::stop() {
    if (pid_ <= 0) return;
    kill(-pid_, SIGTERM);
    // A gpsfake whose gpsd ended first can sit out SIGTERM: SIGKILL after 2 s rather than wait for ever.
    bool ended = false;
    for (int i = 0; i < 200 && !ended; ++i) {
        ended = waitpid(pid_, nullptr, WNOHANG) == pid_;
        if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(-pid_, SIGKILL);  // a gpsd that outlived its gpsfake
    if (!ended) waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

}  // namespace zarn::testing
