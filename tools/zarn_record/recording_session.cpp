#include "tools/zarn_record/recording_session.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "board/board_connection.h"
#include "board/board_sequences.h"
#include "board/port_discovery.h"
#include "platform/comm_port.h"
#include "platform/message_box.h"
#include "platform/registry_file.h"
#include "recording/gpsd_address.h"
#include "recording/log_recorder.h"
#include "recording/track_recorder.h"
#include "shell/command_line.h"
#include "tools/zarn_record/record_outputs.h"
#include "tools/zarn_record/record_progress.h"

namespace zarn {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kProgram = "zarn-record";
constexpr int kFailed = 1, kNoBoard = 3;
constexpr uint32_t kSilenceLimit = 10;
constexpr auto kStartPause = 1500ms;  // zarn's start-up pauses
constexpr auto kLoopWait = 50ms;

volatile sig_atomic_t stopSignal = 0;
void onStopSignal(int signal) { stopSignal = signal; }

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);  // a CSV reader that goes away is a failed write, not the end
}

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// The link thread's messages for the main loop; repaint requests are nobody's here.
class MessageQueue : public MessagePoster {
public:
    bool postMessage(uint32_t message) override {
        if (message == WM_BOARD_UPDATE) return true;
        std::lock_guard lock(mutex_);
        messages_.push_back(message);
        return true;
    }
    bool take(uint32_t& message) {
        std::lock_guard lock(mutex_);
        if (messages_.empty()) return false;
        message = messages_.front();
        messages_.pop_front();
        return true;
    }

private:
    std::mutex mutex_;
    std::deque<uint32_t> messages_;
};

// The device's message boxes, where a program without a screen has them.
struct StderrBoxes : MessageBoxSink {
    int showMessageBox(const char* text, uint32_t) override {
        std::fprintf(stderr, "%s: %s\n", kProgram, text);
        return IDOK;
    }
};

// Sleeps up to `most`, less when a stop signal comes or `done` holds.
template <typename Done>
void pause(std::chrono::milliseconds most, Done done) {
    const auto end = Clock::now() + most;
    while (Clock::now() < end && !stopSignal && !done()) std::this_thread::sleep_for(10ms);
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

class Session {
public:
    explicit Session(const RecordOptions& o) : o_(o), progress_(o.pcsRaster), outputs_(o) {}
    int run();

private:
    int bringUp();
    void openMeasurement();
    int startLog();
    int loop();
    bool handle(uint32_t message);
    void readNotes();
    bool writeRecord();
    void showProgress(bool last);
    int finish(int status);

    const RecordOptions& o_;
    BoardState& board_ = boardState();
    MessageQueue queue_;
    StderrBoxes boxes_;
    std::unique_ptr<SerialBoardConnection> connection_;
    std::unique_ptr<TrackRecorder> track_;
    RecordProgress progress_;
    RecordOutputs outputs_;
    bool logOpened_ = false;
    bool stdinOpen_ = true;
    std::string pendingLine_;
    Clock::time_point started_ = Clock::now();
    Clock::time_point lostSince_{};
    bool lost_ = false;
    const bool terminal_ = ::isatty(STDERR_FILENO) != 0;
};

int Session::run() {
    catchStopSignals();
    setMessageBoxSink(&boxes_);
    putBoardPortFirst(o_.port);  // before the registry is read, so that it lists the port
    loadRegistry(registryFilePath());
    if (const int status = bringUp()) return finish(status);
    if (stopSignal) return finish(0);
    openMeasurement();
    if (const int status = startLog()) return finish(status);
    return finish(loop());
}

int Session::bringUp() {
    board_.notifyWindow = &queue_;
    connection_ = std::make_unique<SerialBoardConnection>(&logRecorder(), kSilenceLimit);
    if (!connection_->portOpen()) {
        std::fprintf(stderr, "%s: no board found: %s\n", kProgram, searched().c_str());
        return kNoBoard;
    }
    pause(kStartPause, [] { return false; });
    connection_->startLinkThread();
    board_.sendVersionRequest();
    pause(kStartPause, [this] { return std::strcmp(board_.serialNumber, "XXXXXX") != 0; });
    if (connection_->framesDecoded() == 0 && !stopSignal) {
        std::fprintf(stderr, "%s: no board answers on %s; %s\n", kProgram, connection_->portName().c_str(),
                     searched().c_str());
        return kNoBoard;
    }
    return 0;
}

// As the main menu's button opens the screen, with the options given instead of a dialog.
void Session::openMeasurement() {
    returnToIdle(board_);
    switch (o_.mode) {
    case kModeSingleChannel: applySingleChannelSettings(board_, o_.single); break;
    case kModeSpectrum: applySpectrumSettings(board_, o_.spectrum); break;
    case kModeBestServers: applyServerSettings(board_, o_.serverBand, -1); break;
    default: break;  // the table was loaded with the options
    }
    startMeasurement(board_, o_.mode);
}

int Session::startLog() {
    std::string error;
    const auto address = gpsdAddressFrom(std::getenv("ZARN_GPSD"), error);
    if (!error.empty()) std::fprintf(stderr, "%s: %s; no track\n", kProgram, error.c_str());
    if (address) {
        track_ = std::make_unique<TrackRecorder>(*address, [](GpsStatus) {});
        logRecorder().setCompanion(track_.get());
    }
    if (logRecorder().startLog(board_, o_.output, o_.output, error) != 0) {
        std::fprintf(stderr, "%s: cannot record %s: %s\n", kProgram, o_.output.c_str(), error.c_str());
        return kFailed;
    }
    logOpened_ = true;
    outputs_.start(board_, *connection_, track_.get());
    started_ = Clock::now();
    return 0;
}

int Session::loop() {
    while (!stopSignal) {
        if (o_.seconds > 0 && secondsSince(started_) >= o_.seconds) break;
        readNotes();
        uint32_t message = 0;
        while (queue_.take(message))
            if (!handle(message)) return kFailed;
        if (lost_ && o_.giveUp > 0 && secondsSince(lostSince_) >= o_.giveUp) {
            std::fprintf(stderr, "%s: no board for %g s: giving up\n", kProgram, o_.giveUp);
            return kNoBoard;
        }
        showProgress(false);
    }
    return 0;
}

// False after a write failure.
bool Session::handle(uint32_t message) {
    switch (message) {
    case WM_LOG_RECORD: return writeRecord();
    case WM_BOARD_LOST:
        lost_ = true;
        lostSince_ = Clock::now();
        outputs_.boardLost();
        std::fprintf(stderr, "%s: the log %s stays open; recording goes on when the board is back\n", kProgram,
                     o_.output.c_str());
        return true;
    case WM_BOARD_ANSWERED:
        lost_ = false;
        resumeMeasurement(board_);
        outputs_.boardAnswered();
        return true;
    default: return true;
    }
}

// Each whole line on stdin notes the next record; stdin at its end is simply quiet.
void Session::readNotes() {
    pollfd in{STDIN_FILENO, POLLIN, 0};
    if (!stdinOpen_) {
        std::this_thread::sleep_for(kLoopWait);
        return;
    }
    if (::poll(&in, 1, static_cast<int>(kLoopWait.count())) <= 0) return;
    char buffer[512];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        stdinOpen_ = false;
        return;
    }
    pendingLine_.append(buffer, static_cast<size_t>(n));
    for (size_t end; (end = pendingLine_.find('\n')) != std::string::npos; pendingLine_.erase(0, end + 1)) {
        std::string line = pendingLine_.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        logRecorder().noteMarker(board_, line);
    }
}

bool Session::writeRecord() {
    std::string error;
    WrittenRecord w;
    if (logRecorder().writePendingRecord(error, &w) != 0) {
        std::fprintf(stderr, "%s: cannot write %s: %s; the records written before stay readable\n", kProgram,
                     o_.output.c_str(), error.c_str());
        logRecorder().stopLog(board_);
        return false;
    }
    if (w.offset == 0) return true;  // nothing was staged: no record's mark is in the header
    const LogRecord record{w.offset, w.time, w.note, w.type, w.payload.data(), w.payload.size()};
    progress_.count(record, logRecorder().fileLength());
    outputs_.record(w, logRecorder().fileLength());
    return true;
}

void Session::showProgress(bool last) {
    const double seconds = secondsSince(started_);
    if (!last && !progress_.due(seconds, terminal_)) return;
    progress_.setArchiveBehind(outputs_.archiveBehind());
    const std::string line = progress_.line(seconds);
    if (terminal_)
        std::fprintf(stderr, "\r%s\x1b[K%s", line.c_str(), last ? "\n" : "");
    else
        std::fprintf(stderr, "%s: %s\n", kProgram, line.c_str());
}

// Idle, staged records written, the port restored; the log closed last.
int Session::finish(int status) {
    if (connection_) {
        // A board that never answered is not asked for anything more.
        if (!board_.boardLost && connection_->framesDecoded() > 0) returnToIdle(board_);
        connection_.reset();
    }
    board_.notifyWindow = nullptr;
    while (logRecorder().hasLog() && logRecorder().stagedCount() > 0)
        if (!writeRecord()) status = kFailed;
    std::string error;
    if (logRecorder().finishLog(board_, error) != 0) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", kProgram, o_.output.c_str(), error.c_str());
        status = kFailed;
    }
    if (logOpened_ && !outputs_.finish()) status = kFailed;
    logRecorder().setCompanion(nullptr);
    track_.reset();
    if (logOpened_) showProgress(true);
    setMessageBoxSink(nullptr);
    return status;
}

}  // namespace

int runRecording(const RecordOptions& options) {
    Session session(options);
    return session.run();
}

}  // namespace zarn
