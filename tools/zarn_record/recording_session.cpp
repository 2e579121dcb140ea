#include "tools/zarn_record/recording_session.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "board/board_sequences.h"
#include "platform/message_box.h"
#include "platform/pollable_event.h"
#include "recording/gpsd_address.h"
#include "recording/log_recorder.h"
#include "recording/track_recorder.h"
#include "shell/command_line.h"
#include "tools/zarn_record/alarm_programs.h"
#include "tools/zarn_record/board_link.h"
#include "tools/zarn_record/record_outputs.h"
#include "tools/zarn_record/record_progress.h"
#include "tools/zarn_record/record_watch.h"

namespace zarn {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kProgram = "zarn-record";
constexpr int kFailed = 1, kNoBoard = 3;
constexpr uint32_t kForegroundLookMs = 500;
constexpr auto kProgramsEnd = 5s;  // --on-alarm runs under way at the end
constexpr double kProgramLook = 0.1;  // seconds between looks at a running --on-alarm program

// The main loop sleeps on this until a message, a line, a stop signal or its next deadline.
PollableEvent loopWake;

volatile sig_atomic_t stopSignal = 0;
std::atomic<bool> endAsked{false};
void onStopSignal(int signal) {
    stopSignal = signal;
    loopWake.set();  // a store and a write(): safe in a handler
}

}  // namespace

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);  // a CSV reader that goes away is a failed write, not the end
    // A job in the background is never stopped by its terminal: reads are only
    // tried in the foreground, and one that races a move to the background fails.
    signal(SIGTTIN, SIG_IGN);
    signal(SIGTTOU, SIG_IGN);
}

bool stopSignalled() { return stopSignal != 0; }

void endRecording(bool end) {
    endAsked = end;
    if (end) loopWake.set();
}

namespace {

// True when `fd` is not a terminal, or is one whose foreground job this is.
bool ownsTerminal(int fd) { return !::isatty(fd) || ::tcgetpgrp(fd) == ::getpgrp(); }

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// The link thread's messages for the main loop; repaint requests are nobody's here.
// Each one wakes the loop, so a record is written and sent out as it comes.
class MessageQueue : public MessagePoster {
public:
    MessageQueue() = default;
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;
    bool postMessage(uint32_t message) override {
        if (message == WM_BOARD_UPDATE) return true;
        {
            std::lock_guard lock(mutex_);
            messages_.push_back(message);
        }
        loopWake.set();
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

class Session {
public:
    Session(const RecordOptions& o, BoardLink* link)
        : o_(o),
          link_(link),
          progress_(o.pcsRaster),
          outputs_(o),
          watch_(o),
          programs_(o.onAlarm, o.onAlarmLimit, o.alarms.size()) {}
    int run();

private:
    int bringUp();
    void takeBoard();
    void openMeasurement();
    int startLog();
    int loop();
    bool handle(uint32_t message);
    bool stopAsked() const;
    bool waitForWork();
    uint32_t millisecondsToNextDue() const;
    void readNotes();
    void takeNotes(bool ended);
    bool writeRecord();
    void countDrops();
    void watch(const LogRecord& record);
    void endWatch();
    void showProgress(bool last);
    int finish(int status);

    const RecordOptions& o_;
    BoardLink* link_;  // the site's, else this run's own
    std::unique_ptr<BoardLink> ownLink_;
    BoardState& board_ = boardState();
    MessageQueue queue_;
    StderrBoxes boxes_;
    std::unique_ptr<TrackRecorder> track_;
    RecordProgress progress_;
    RecordOutputs outputs_;
    RecordWatch watch_;
    AlarmPrograms programs_;
    bool logOpened_ = false;
    bool stdinOpen_ = true;
    std::string pendingLine_;
    size_t dropped_ = 0;  // records the log could not take, said so far
    Clock::time_point started_ = Clock::now();
    Clock::time_point lostSince_{};
    bool lost_ = false;
    const bool terminal_ = ::isatty(STDERR_FILENO) != 0;
};

int Session::run() {
    catchStopSignals();
    setMessageBoxSink(&boxes_);
    if (link_) takeBoard();
    else if (const int status = bringUp()) return finish(status);
    if (stopSignal) return finish(0);
    // --seconds runs from here while the measurement opens, so that an opening held
    // up by a silent board is abandoned too, and from the log's start once it is open.
    started_ = Clock::now();
    if (ownLink_) board_.abandonRequests = [this] { return stopAsked(); };
    else board_.abandonRequests = [this] { return stopAsked() || board_.boardLost; };
    openMeasurement();
    const bool over = stopAsked();
    if (const int status = startLog()) return finish(status);
    started_ = Clock::now();
    return finish(over ? 0 : loop());
}

int Session::bringUp() {
    link_ = (ownLink_ = std::make_unique<BoardLink>()).get();
    link_->setTarget(&queue_);
    return link_->bringUp(o_.port, false);
}

// The site's board, up since it started: a board lost now is the link thread's to find
// again, and the measurement opens when it answers.
void Session::takeBoard() {
    link_->setTarget(&queue_);
    lost_ = board_.boardLost;
    lostSince_ = Clock::now();
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
    // The log starts with the measurement open, where no record holds the board's
    // version and serial-number frames: they open the log instead.
    logRecorder().openWithBoardIdentity(true);
    if (logRecorder().startLog(board_, o_.output, o_.output, error) != 0) {
        std::fprintf(stderr, "%s: cannot record %s: %s\n", kProgram, o_.output.c_str(), error.c_str());
        return kFailed;
    }
    logOpened_ = true;
    outputs_.start(board_, link_->connection(), track_.get(), &watch_);
    return 0;
}

// A signal, or --seconds over.
bool Session::stopAsked() const { return stopSignal || endAsked || (o_.seconds > 0 && secondsSince(started_) >= o_.seconds); }

int Session::loop() {
    while (!stopAsked()) {
        readNotes();
        uint32_t message = 0;
        while (queue_.take(message))
            if (!handle(message)) return kFailed;
        programs_.poll();
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

// The end of --seconds, of --give-up, the next progress line, or a look at an --on-alarm run.
uint32_t Session::millisecondsToNextDue() const {
    const double now = secondsSince(started_);
    double next = RecordProgress::nextDue(now, terminal_);
    if (o_.seconds > 0) next = std::min(next, o_.seconds);
    if (lost_ && o_.giveUp > 0) next = std::min(next, now - secondsSince(lostSince_) + o_.giveUp);
    if (programs_.running()) next = std::min(next, now + kProgramLook);
    return next <= now ? 0 : static_cast<uint32_t>(std::ceil((next - now) * 1000)) + 1;
}

// Sleeps until something is to be done; true when a line can be read. A terminal is
// read only while this is its foreground job; in the background nothing tells when
// that changes, so it looks again twice a second.
bool Session::waitForWork() {
    const bool readable = stdinOpen_ && ownsTerminal(STDIN_FILENO);
    uint32_t wait = millisecondsToNextDue();
    if (stdinOpen_ && !readable) wait = std::min(wait, kForegroundLookMs);
    const PollableEvent::Woken woken = loopWake.wait(wait, readable ? STDIN_FILENO : -1);
    loopWake.reset();  // what woke it is looked at after the wait
    return woken == PollableEvent::Woken::Descriptor;
}

// Each line on stdin notes a record of its own, in turn; stdin at its end is simply quiet.
void Session::readNotes() {
    if (!waitForWork()) return;
    char buffer[512];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || (errno == EIO && !ownsTerminal(STDIN_FILENO)))) return;
    if (n > 0) pendingLine_.append(buffer, static_cast<size_t>(n));
    if (n <= 0) stdinOpen_ = false;
    takeNotes(n <= 0);
}

// The whole lines read, and at the end of input the last one without its newline.
void Session::takeNotes(bool ended) {
    for (size_t end; (end = pendingLine_.find('\n')) != std::string::npos; pendingLine_.erase(0, end + 1)) {
        std::string line = pendingLine_.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        logRecorder().queueMarker(board_, line);
    }
    if (ended && !pendingLine_.empty()) logRecorder().queueMarker(board_, pendingLine_);
    if (ended) pendingLine_.clear();
}

// Everything staged, in one batch with one flush.
bool Session::writeRecord() {
    std::string error;
    std::vector<WrittenRecord> written;
    const int result = logRecorder().writePendingRecord(error, &written);
    for (const WrittenRecord& w : written) {
        const LogRecord record{w.offset, w.time, w.note, w.type, w.payload.data(), w.payload.size()};
        progress_.count(record, logRecorder().fileLength());
        outputs_.record(w, logRecorder().fileLength());
        watch(record);
    }
    if (result != 0)
        std::fprintf(stderr, "%s: cannot write %s: %s; the records written before stay readable\n", kProgram,
                     o_.output.c_str(), error.c_str());
    countDrops();
    if (result == 0) return true;
    logRecorder().stopLog(board_);
    return false;
}

// Says each time the log has dropped records since it last said so.
void Session::countDrops() {
    const size_t dropped = logRecorder().droppedRecords();
    if (dropped <= dropped_) return;
    std::fprintf(stderr, "%s: %zu records not logged (%zu in all)\n", kProgram, dropped - dropped_, dropped);
    dropped_ = dropped;
}

// The rules and the occupancy over the record just written: stderr, the next records'
// notes, --on-alarm and every output's status.
void Session::watch(const LogRecord& record) {
    const WatchChanges changes = watch_.take(record, secondsSince(started_));
    for (const AlarmChange& c : changes.alarms) {
        std::fprintf(stderr, "%s: %s\n", kProgram, watch_.alarmLine(c).c_str());
        logRecorder().queueNote(watch_.note(c));
        programs_.changed(c.rule, watch_.rules()[c.rule], watch_.alarms()[c.rule]);
    }
    if (changes.period) std::fprintf(stderr, "%s: %s\n", kProgram, RecordWatch::periodLine(*changes.period).c_str());
    if (changes.any()) outputs_.changed();
}

// The period under way, and the --on-alarm runs, before the outputs end.
void Session::endWatch() {
    if (const std::optional<OccupancyPeriod> last = watch_.finish()) {
        std::fprintf(stderr, "%s: %s\n", kProgram, RecordWatch::periodLine(*last).c_str());
        outputs_.changed();
    }
    programs_.finish(Clock::now() + kProgramsEnd);
}

void Session::showProgress(bool last) {
    const double seconds = secondsSince(started_);
    if (!last && !progress_.due(seconds, terminal_)) return;
    if (!last && terminal_ && !ownsTerminal(STDERR_FILENO)) return;  // a job in the background draws nothing
    progress_.setArchiveBehind(outputs_.archiveBehind());
    const std::string line = progress_.line(seconds);
    if (terminal_)
        std::fprintf(stderr, "\r%s\x1b[K%s", line.c_str(), last ? "\n" : "");
    else
        std::fprintf(stderr, "%s: %s\n", kProgram, line.c_str());
}

// Idle, staged records written, the port restored; the log closed last.
int Session::finish(int status) {
    board_.abandonRequests = nullptr;  // the sequence is over; idle is still asked for
    if (link_ && link_->opened()) {
        // A board that never answered is not asked for anything more.
        if (link_->up()) returnToIdle(board_);
        if (logOpened_) outputs_.boardClosed(ownLink_ != nullptr);
    }
    if (link_) link_->setTarget(nullptr);
    ownLink_.reset();  // the port closed, unless the site keeps it
    if (logRecorder().hasLog() && !writeRecord()) status = kFailed;
    if (const size_t notes = logRecorder().notesWaiting())
        std::fprintf(stderr, "%s: %zu note%s left without a record\n", kProgram, notes, notes == 1 ? "" : "s");
    if (dropped_ > 0) {
        std::fprintf(stderr, "%s: %zu records were not logged\n", kProgram, dropped_);
        if (status == 0) status = kFailed;
    }
    std::string error;
    if (logRecorder().finishLog(board_, error) != 0) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", kProgram, o_.output.c_str(), error.c_str());
        status = kFailed;
    }
    if (logOpened_) endWatch();
    if (logOpened_ && !outputs_.finish()) status = kFailed;
    logRecorder().setCompanion(nullptr);
    track_.reset();
    if (logOpened_) showProgress(true);
    setMessageBoxSink(nullptr);
    return status;
}

}  // namespace

int runRecording(const RecordOptions& options, BoardLink* link) {
    Session session(options, link);
    return session.run();
}

}  // namespace zarn
