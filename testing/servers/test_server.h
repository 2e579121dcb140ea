#pragma once
// TestServer: what every real server of the tests shares. It runs as a ServerUser in its
// own ServerFolder on a free port; start() prepares it once (configuration, keys, a
// cluster), then starts it and waits until it answers; kill() and stop() end it, and
// start() brings it back on the same port with what it had kept.
//
// A fixture says how to prepare it, how to run it and how to tell it is ready.

#include <chrono>
#include <initializer_list>
#include <memory>
#include <string>

#include "testing/servers/server_folder.h"
#include "testing/servers/server_process.h"

namespace zarn::testing {

class TestServer {
public:
    virtual ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // False with error (and the server's log) when it cannot be prepared or does not
    // answer in time.
    bool start(std::string& error);
    // Its stop signal, SIGKILL when it has not ended within 10 s.
    void stop();
    // SIGKILL to it and all it forked, as a crash.
    void kill();
    bool running();

    int port() const { return port_; }
    const ServerFolder& folder() const { return folder_; }
    // What it wrote over all its starts.
    std::string log() const;

protected:
    // A folder <under>/<folderPrefix>-XXXXXX for the first of `users` there is (as root).
    TestServer(const std::string& folderPrefix, std::initializer_list<const char*> users,
               const std::string& under = roomInMemory());

    // Once, before the first start.
    virtual bool prepare(std::string& error) = 0;
    virtual ServerCommand command() const = 0;
    virtual bool ready() = 0;
    // Starts the command and waits for ready(); for prepare() too.
    bool launch(std::string& error, std::chrono::milliseconds timeout = std::chrono::seconds(30));

    ServerUser user_;
    ServerFolder folder_;
    int port_ = 0;

private:
    std::unique_ptr<ServerProcess> process_;
    bool prepared_ = false;
};

}  // namespace zarn::testing
