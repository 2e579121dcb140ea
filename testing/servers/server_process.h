#pragma once
// ServerProcess: a real server as a child of the tests, as a ServerUser, in its own
// process group (so whatever it forks ends with it), its stdout and stderr appended to
// a log file that a failing test prints. It dies with the test process (a crashed test
// leaves no server behind): start it from the thread that lives as long as it does,
// as SetUpTestSuite or the test body.
//
//   ServerProcess server({"mosquitto", {"-c", conf}}, user, folder.file("server.log"));
//   server.start(error) && server.waitReady([&] { return acceptsConnections(port); }, 10s, error);
//   server.kill();   // SIGKILL, as a crash: the same command starts it again
//   server.stop();   // the stop signal, SIGKILL after the grace time

#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "testing/servers/server_folder.h"

namespace zarn::testing {

struct ServerCommand {
    std::string program;  // a path, or a name looked up on PATH
    std::vector<std::string> args;
    std::map<std::string, std::string> env;  // added to (or replacing) the tests' environment
    std::string workdir;                      // and HOME; empty: the tests' own
    int stopSignal = SIGTERM;                 // what stop() sends first
};

class ServerProcess {
public:
    ServerProcess(ServerCommand command, ServerUser user, std::string logPath);
    ~ServerProcess() { stop(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts the command; false with error when it is running already or cannot be run.
    bool start(std::string& error);
    // Polls ready() until it holds (true); false with error, and the log's end, when the
    // server ends first or the timeout passes.
    bool waitReady(const std::function<bool()>& ready, std::chrono::milliseconds timeout, std::string& error);
    bool running();
    // The stop signal to the group, then SIGKILL when it has not ended within `grace`.
    void stop(std::chrono::milliseconds grace = std::chrono::seconds(10));
    // SIGKILL to the group; returns once no process of it is left.
    void kill();
    pid_t pid() const { return pid_; }

    // Everything the server wrote, over all its starts; tail(): the last `bytes` of it.
    std::string log() const;
    std::string tail(size_t bytes = 4000) const;
    const std::string& logPath() const { return logPath_; }

private:
    void waitGroupGone(std::chrono::milliseconds timeout);

    ServerCommand command_;
    ServerUser user_;
    std::string logPath_;
    pid_t pid_ = -1;
};

}  // namespace zarn::testing
