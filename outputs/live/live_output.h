#pragma once
// LiveOutput: zarn-record's live page, its status API, its event stream and its
// Prometheus metrics (zarn-record --listen), an output of the record fan-out.
//
// - The server (live_server.h) starts with the output, on the listening socket
//   it is given, and runs on threads of its own. A server that cannot start
//   fails the output at its first item; the recording goes on.
// - record() and status() come on the fan-out's thread and never wait on a
//   client: a record is encoded once (survey/record_json.h, the one JSON of a
//   record), kept in the history and queued for every stream (event_stream.h);
//   a status is kept and sent to every stream.
// - /api/status is the last status brought up to date: the log's records and
//   bytes as the records came, its age, the stream's clients. /metrics
//   (live_metrics.h) reads the same, with the levels and sweep peaks of the last
//   records.
// - finish(): every stream is given an "end" event and up to 1.5 s to take what
//   it was sent, then the server stops: within 2 s.

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/http/event_stream.h"
#include "outputs/live/live_metrics.h"
#include "platform/http/live_server.h"
#include "outputs/record_fanout.h"
#include "recording/log_units.h"
#include "survey/record_json.h"

namespace zarn {

struct LiveOptions {
    int listenFd = -1;    // bound and listening (listen_address.h); the output closes it
    std::string address;  // its text, for the status
    std::string token;    // empty: no token asked
    std::vector<std::string> hosts;  // the Host names answered (listen_address.h); empty: any
};

class LiveOutput : public RecordOutput {
public:
    explicit LiveOutput(LiveOptions options, StreamLimits streams = {}, LiveServerLimits server = {});
    ~LiveOutput() override;

    void record(const OutputRecord& r) override;
    void status(const RecorderStatus& s) override;
    void finish() override;

private:
    void failIfNotServing() const;
    // The last status brought up to date, with the state lock held.
    RecorderStatus current(const StreamHub::Counts& streams) const;
    // The hub's counts taken before the state lock: the hub's lock is never waited for under it.
    std::string statusJson(const StreamHub::Counts& streams) const;
    std::string metricsText() const;
    void takeReadings(const LogRecord& r);

    const std::string address_;
    StreamHub hub_;
    std::unique_ptr<LiveServer> server_;
    std::string notServing_;
    std::optional<RecordJson> json_;
    std::optional<LogPlans> plans_;
    std::string text_;

    mutable std::mutex mutex_;
    RecorderStatus status_;
    std::chrono::steady_clock::time_point statusAt_ = std::chrono::steady_clock::now();
    LiveReadings readings_;
};

}  // namespace zarn
