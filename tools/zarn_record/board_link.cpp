#include "tools/zarn_record/board_link.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "board/port_discovery.h"
#include "platform/comm_port.h"
#include "platform/registry_file.h"
#include "recording/log_recorder.h"
#include "shell/command_line.h"
#include "tools/zarn_record/recording_session.h"

namespace zarn {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kProgram = "zarn-record";
constexpr int kNoBoard = 3;
constexpr uint32_t kSilenceLimit = 10;
constexpr auto kStartPause = 1500ms;  // zarn's start-up pauses
// Twice within the silence limit: one answer lost on the line is not yet a board lost.
constexpr auto kWatchEvery = 4s;

// Sleeps up to `most`, less when a stop signal comes or `done` holds.
template <typename Done>
void pause(std::chrono::milliseconds most, Done done) {
    const auto end = Clock::now() + most;
    while (Clock::now() < end && !stopSignalled() && !done()) std::this_thread::sleep_for(10ms);
}

std::string searched() {
    std::string ports;
    for (const std::string& name : discoverPortNames()) {
        const std::string path = commPortPath(name);
        ports += (ports.empty() ? "" : ", ") + name + (path.empty() || path == name ? "" : " (" + path + ")");
    }
    return "looked among the active drivers of " + registryFilePath() + " and the adapters in /dev/serial/by-id, " +
           "a given port first; ports: " + ports;
}

// Nothing registered as the board's port, only the serial console's fallback: most often a
// first try on a machine without a board, where the simulator is what to run.
void hintTheSimulator() {
    if (discoverPortNames() != std::vector<std::string>{kDefaultPortName}) return;
    std::fprintf(stderr, "%s: hint: no board's port is registered at all; to try it without a board, start the "
                         "simulator first (zarn-board-sim &), which registers its port as a board's adapter does\n",
                 kProgram);
}

}  // namespace

int StderrBoxes::showMessageBox(const char* text, uint32_t) {
    std::fprintf(stderr, "%s: %s\n", kProgram, text);
    return IDOK;
}

BoardLink::BoardLink() = default;

BoardLink::~BoardLink() {
    {
        std::lock_guard ask(askMutex_);
        ending_ = true;
    }
    watchWake_.notify_all();
    if (watcher_.joinable()) watcher_.join();
    connection_.reset();
    board_.notifyWindow = nullptr;
}

int BoardLink::bringUp(const std::string& port, bool waitForBoard) {
    putBoardPortFirst(port);  // before the registry is read, so that it lists the port
    loadRegistry(registryFilePath());
    board_.notifyWindow = this;
    connection_ = std::make_unique<SerialBoardConnection>(&logRecorder(), kSilenceLimit);
    if (!connection_->portOpen()) {
        std::fprintf(stderr, "%s: no board found: %s\n", kProgram, searched().c_str());
        hintTheSimulator();
        return kNoBoard;
    }
    pause(kStartPause, [] { return false; });
    connection_->startLinkThread();
    board_.sendVersionRequest();
    pause(kStartPause, [this] { return std::strcmp(board_.serialNumber, "XXXXXX") != 0; });
    if (connection_->framesDecoded() == 0 && !stopSignalled() && !waitForBoard) {
        std::fprintf(stderr, "%s: no board answers on %s; %s\n", kProgram, connection_->portName().c_str(),
                     searched().c_str());
        hintTheSimulator();
        return kNoBoard;
    }
    if (connection_->framesDecoded() == 0 && !stopSignalled())
        std::fprintf(stderr, "%s: no board answers on %s yet; looking for it\n", kProgram,
                     connection_->portName().c_str());
    if (waitForBoard) {
        watching_ = true;
        watcher_ = std::thread([this] { watch(); });
    }
    return 0;
}

void BoardLink::setTarget(MessagePoster* target) {
    {
        std::lock_guard ask(askMutex_);
        watching_ = target == nullptr && watcher_.joinable();
    }
    std::lock_guard lock(targetMutex_);
    target_ = target;
}

bool BoardLink::postMessage(uint32_t message) {
    std::lock_guard lock(targetMutex_);
    return target_ ? target_->postMessage(message) : true;
}

bool BoardLink::up() const { return connection_ && !board_.boardLost && connection_->framesDecoded() > 0; }

void BoardLink::watch() {
    std::unique_lock ask(askMutex_);
    while (!ending_) {
        watchWake_.wait_for(ask, kWatchEvery, [this] { return ending_; });
        if (!ending_ && watching_ && !board_.boardLost) board_.sendSerialRequest();
    }
}

}  // namespace zarn
