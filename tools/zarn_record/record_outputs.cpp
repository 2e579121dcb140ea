#include "tools/zarn_record/record_outputs.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "outputs/csv_stream/csv_stream.h"
#include "outputs/live/live_output.h"
#include "outputs/mqtt/mqtt_output.h"
#include "survey/log_text.h"
#include "zarn_version.h"

namespace zarn {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kProgram = "zarn-record";
constexpr auto kEndDeadline = std::chrono::seconds(5);
constexpr auto kDropsToldEvery = std::chrono::seconds(10);
constexpr auto kStatusEvery = std::chrono::seconds(1);

std::optional<double> known(double value) { return std::isfinite(value) ? std::optional(value) : std::nullopt; }

GpsPosition positionOf(const TrackRecorder* track) {
    GpsPosition p;
    if (!track) return p;
    switch (track->status()) {
    case GpsStatus::Unreachable: p.state = GpsPosition::State::Unreachable; break;
    case GpsStatus::NoFix: p.state = GpsPosition::State::NoFix; break;
    case GpsStatus::Fix: p.state = GpsPosition::State::Fix; break;
    }
    if (const auto fix = track->currentFix(); fix && usableFix(*fix)) {
        p.lat = fix->latitude;
        p.lon = fix->longitude;
        p.altitude = known(fix->altitude);
    }
    return p;
}

ArchiveSettings archiveSettings(const RecordOptions& o, bool track) {
    ArchiveSettings a;
    a.conninfo = o.archive;
    a.logPath = o.output;
    a.site = o.site;
    a.siteGiven = o.siteGiven;
    if (track) a.trackPath = TrackRecorder::trackPathFor(o.output);
    a.drain = std::chrono::milliseconds(std::llround(o.archiveDrain * 1000));
    a.heartbeat = o.heartbeat;
    if (o.task) a.task = o.task;
    a.tell = [](const std::string& line) { std::fprintf(stderr, "%s: archive: %s\n", kProgram, line.c_str()); };
    return a;
}

}  // namespace

// Every output the options ask for.
void RecordOutputs::attach() {
    if (o_.csv == "-")
        fanout_.attach("csv", std::make_unique<CsvStream>(STDOUT_FILENO, "standard output", csvKindOf(o_.mode)));
    if (o_.listenFd >= 0)
        fanout_.attach("live", std::make_unique<LiveOutput>(
                                   LiveOptions{o_.listenFd, o_.listen, o_.listenToken, o_.listenHosts}));
    if (o_.mqtt)
        fanout_.attach("mqtt", std::make_unique<MqttOutput>(*o_.mqtt, [](const std::string& text) {
                           std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
                       }));
    if (!o_.archive.empty())
        fanout_.attach("archive", std::make_unique<ArchiveOutput>(archiveSettings(o_, track_),
                                                                  archive_ = std::make_shared<ArchiveBacklog>()));
}

void RecordOutputs::start(const BoardState& board, const SerialBoardConnection& connection, const TrackRecorder* track,
                          const RecordWatch* watch) {
    board_ = &board;
    connection_ = &connection;
    track_ = track;
    watch_ = watch;
    started_ = isoTime(currentLocalTime());
    startedAt_ = Clock::now();
    log_.path = o_.output;
    attach();
    fanout_.publishStatus(status());
}

void RecordOutputs::record(const WrittenRecord& w, uint64_t logBytes) {
    log_.count(w.type, logBytes);
    if (fanout_.empty()) return;
    fanout_.publish({w, o_.pcsRaster, logBytes});
    // gpsd's fix, the frames and the age move on between the board's changes.
    if (connection_ && Clock::now() >= statusDue_) {
        fanout_.publishStatus(status());
        statusDue_ = Clock::now() + kStatusEvery;
    }
    tellProblems(fanout_.states(), false);
}

void RecordOutputs::boardLost() {
    ++lost_;
    fanout_.publishStatus(status());
}

void RecordOutputs::boardAnswered() { fanout_.publishStatus(status()); }

void RecordOutputs::changed() { fanout_.publishStatus(status()); }

void RecordOutputs::boardClosed(bool portClosed) {
    const RecorderStatus last = status();
    closedMeasurement_ = last.measurement;
    closedBoard_ = last.board;
    if (portClosed) closedBoard_.up = false;
    board_ = nullptr;
    connection_ = nullptr;
}

bool RecordOutputs::finish() {
    if (fanout_.empty()) return true;
    const auto drain = archive_ ? std::chrono::milliseconds(std::llround(o_.archiveDrain * 1000)) : 0ms;
    const std::vector<OutputStatus> states = fanout_.finish(Clock::now() + kEndDeadline + drain);
    tellProblems(states, true);
    for (const OutputStatus& s : states)
        if (s.failed) return false;
    return true;
}

RecorderStatus RecordOutputs::status() const {
    RecorderStatus s;
    s.started = started_;
    s.ageSeconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - startedAt_).count();
    s.measurement = closedMeasurement_;
    s.board = closedBoard_;
    if (board_) {
        s.measurement = measurementOf(*board_);
        s.board.up = !board_->boardLost && connection_->framesDecoded() > 0;
        s.board.port = connection_->portName();
        s.board.firmware = board_->firmwareVersion;
        s.board.serialNumber = board_->serialNumber;
        s.board.framesDecoded = connection_->framesDecoded();
    }
    s.board.lost = lost_;
    s.gps = positionOf(track_);
    s.log = log_;
    s.outputs = fanout_.states();
    s.version = kZarnVersion;
    if (watch_) {
        s.alarms = watch_->alarms();
        s.occupancy = watch_->lastPeriod();
    }
    if (archive_)
        s.archive = ArchiveStatus{archive_->up(), archive_->stored(), archive_->behind(log_.records),
                                  archive_->error()};
    return s;
}

std::optional<uint64_t> RecordOutputs::archiveBehind() const {
    if (!archive_) return std::nullopt;
    return archive_->behind(log_.records);
}

// A failure once, as it comes; drops at most every kDropsToldEvery, and all of them at the end.
void RecordOutputs::tellProblems(const std::vector<OutputStatus>& states, bool atEnd) {
    told_.resize(states.size());
    const bool dropsDue = atEnd || Clock::now() - droppedToldAt_ >= kDropsToldEvery;
    for (size_t i = 0; i < states.size(); ++i) {
        const OutputStatus& now = states[i];
        OutputStatus& told = told_[i];
        if (now.failed && !told.failed)
            std::fprintf(stderr, "%s: %s: %s%s\n", kProgram, now.name.c_str(), now.error.c_str(),
                         atEnd ? "" : "; the output stops, the log goes on");
        told.failed = now.failed;
        if (now.dropped == told.dropped || !dropsDue || (now.failed && !atEnd)) continue;
        std::fprintf(stderr, "%s: %s: %llu of %llu records not sent%s\n", kProgram, now.name.c_str(),
                     static_cast<unsigned long long>(now.dropped), static_cast<unsigned long long>(log_.records),
                     now.failed      ? ""
                     : now.connected ? " (its peer was away, or the output fell behind)"
                                     : " (the output fell behind)");
        told.dropped = now.dropped;
        droppedToldAt_ = Clock::now();
    }
}

}  // namespace zarn
