#pragma once
// RecordFanout: the records a recorder writes, and its status, fanned out to
// every output that sends them out of the process (the CSV stream, and the
// archive, the live page, MQTT): a bounded queue and a thread of its own for
// each output, so that a slow or stalled output never holds the log writer or
// the link thread.
//
// - publish() and publishStatus() never wait on an output: the item (one copy,
//   shared) goes into each output's queue; a full queue turns a record away,
//   counted as dropped for that output. A status that finds the queue full
//   waits beside it, the newest replacing an older one, and takes the first
//   free place, ahead of anything published after it.
// - Each output's thread hands it the items in the order published. An output
//   that throws has failed: it is given nothing more, what it had queued and
//   every later record count as dropped, the others go on.
// - finish(deadline) at the end: each output is given what is queued, then
//   finish(). An output still busy at the deadline is told cancel(), which must
//   make its call under way return soon; it has failed then, its unsent records
//   dropped. Every thread is joined before finish() returns.
// - states(): each output's counts (OutputStatus), for the status and the
//   program's messages; records an output was given but could not send
//   (RecordOutput::health) count as dropped, not sent.
// - The output threads block every asynchronous signal: SIGINT and SIGTERM
//   reach the program's own threads, and no output's system call is cut short
//   by them.
//
// A new output is a RecordOutput in a folder of its own under outputs/, which
// the program attaches before it publishes anything.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "recording/log_file.h"
#include "recording/log_reader.h"
#include "survey/recorder_status.h"

namespace zarn {

// A record as the log took it, with what a reader of its values needs.
struct OutputRecord {
    WrittenRecord written;
    uint32_t pcsRaster = 0;  // the log's: PCS channel numbers and sweeps follow it
    uint64_t logBytes = 0;   // the log's length after it
    // The record as the log reader gives it, for the decoders and the CSV and JSON encoders.
    LogRecord record() const {
        return {written.offset, written.time, written.note, written.type, written.payload.data(), written.payload.size()};
    }
};

// What an output that sends to a peer (a broker, a database) adds to its state:
// records it was given but could not send (its peer away, its own bound reached),
// and whether it reaches its peer now.
struct OutputHealth {
    uint64_t unsent = 0;
    std::optional<bool> connected;
};

class RecordOutput {
public:
    virtual ~RecordOutput() = default;
    // On the output's own thread, one call at a time; an exception fails the output.
    virtual void record(const OutputRecord& r) = 0;
    virtual void status(const RecorderStatus&) {}
    // After the last item, at the end.
    virtual void finish() {}
    // From another thread, once the end's deadline has passed: the call under
    // way returns (or throws) soon, rather than wait on a peer any longer.
    virtual void cancel() {}
    // From any thread, whenever the program asks for the outputs' states.
    virtual OutputHealth health() const { return {}; }
};

class RecordFanout {
public:
    static constexpr size_t kQueuedRecords = 1024;

    RecordFanout();
    ~RecordFanout();  // what still runs is cancelled at once
    RecordFanout(const RecordFanout&) = delete;
    RecordFanout& operator=(const RecordFanout&) = delete;

    // Its thread starts now; `name` is the output's in messages and the status.
    void attach(std::string name, std::unique_ptr<RecordOutput> output, size_t queuedRecords = kQueuedRecords);
    bool empty() const;

    void publish(OutputRecord record);
    void publishStatus(RecorderStatus status);

    std::vector<OutputStatus> states() const;
    // The final states: an output that could not finish by `deadline` has failed.
    std::vector<OutputStatus> finish(std::chrono::steady_clock::time_point deadline);

private:
    class Lane;
    std::vector<std::unique_ptr<Lane>> lanes_;
};

}  // namespace zarn
