#include "testing/servers/test_server.h"

#include "testing/servers/free_port.h"

namespace zarn::testing {

TestServer::TestServer(const std::string& folderPrefix, std::initializer_list<const char*> users,
                       const std::string& under)
    : user_(ServerUser::pick(users)), folder_(folderPrefix, user_, under), port_(freePort()) {}

// Ends the server before the folder under it goes.
TestServer::~TestServer() { stop(); }

bool TestServer::start(std::string& error) {
    if (folder_.path().empty() || port_ == 0) {
        error = "no temporary folder or no free port";
        return false;
    }
    if (!prepared_ && !(prepared_ = prepare(error))) return false;
    return launch(error);
}

bool TestServer::launch(std::string& error, std::chrono::milliseconds timeout) {
    if (!process_) process_ = std::make_unique<ServerProcess>(command(), user_, folder_.file("server.log"));
    return process_->start(error) && process_->waitReady([&] { return ready(); }, timeout, error);
}

void TestServer::stop() {
    if (process_) process_->stop();
}

void TestServer::kill() {
    if (process_) process_->kill();
}

bool TestServer::running() { return process_ && process_->running(); }

std::string TestServer::log() const { return process_ ? process_->log() : std::string(); }

}  // namespace zarn::testing
