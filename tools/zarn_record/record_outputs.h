#pragma once
// RecordOutputs: zarn-record's outputs on one fan-out (outputs/record_fanout.h), and the
// status they are given.
//
//  - start(): every output the options ask for is attached (--csv -: the CSV stream on
//    standard output; --listen: the live page; --mqtt: the MQTT output; --archive: the
//    archive, which follows the log and its track); a new output is a line in attach().
//    The status's first snapshot.
//  - record(): each record as the log took it goes to every output; never waits.
//  - boardLost(), boardAnswered(), changed() (an alarm raised or cleared, an occupancy
//    period ended): a status snapshot to every output; and one a second while records
//    come.
//  - An output's failure and its dropped records are said on stderr as they come
//    (drops at most every 10 s), from the program's own thread.
//  - finish(): at the end, what is queued goes out within 5 s (and the archive's drain);
//    false (exit 1) when an output could not finish: its peer went away or took nothing
//    more. Records the archive could not take in time are told, not a failure: the log
//    has them for a later `zarnlog push`.
//  - archiveBehind(): the log's records not yet in the archive; none without one.
//  - status() reads the board state, the connection, the track and the watch given to
//    start(); it runs (also through boardLost, boardAnswered and changed) only while the
//    session holds them, or after boardClosed() with what they last said.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "board/board_connection.h"
#include "outputs/archive/archive_output.h"
#include "outputs/record_fanout.h"
#include "recording/track_recorder.h"
#include "shell/record_options.h"
#include "tools/zarn_record/record_watch.h"

namespace zarn {

class RecordOutputs {
public:
    explicit RecordOutputs(const RecordOptions& options) : o_(options) {}
    void start(const BoardState& board, const SerialBoardConnection& connection, const TrackRecorder* track,
               const RecordWatch* watch);
    void record(const WrittenRecord& w, uint64_t logBytes);
    void boardLost();
    void boardAnswered();
    void changed();
    // The connection is about to go: the status keeps what the board and it last said,
    // the board down when its port closes with it (not when a site keeps it open).
    void boardClosed(bool portClosed);
    bool finish();
    RecorderStatus status() const;
    std::optional<uint64_t> archiveBehind() const;

private:
    void attach();
    void tellProblems(const std::vector<OutputStatus>& states, bool atEnd);

    const RecordOptions& o_;
    RecordFanout fanout_;
    std::shared_ptr<ArchiveBacklog> archive_;
    const BoardState* board_ = nullptr;
    const SerialBoardConnection* connection_ = nullptr;
    const TrackRecorder* track_ = nullptr;
    const RecordWatch* watch_ = nullptr;
    MeasurementStatus closedMeasurement_;
    BoardStatus closedBoard_;
    std::string started_;
    std::chrono::steady_clock::time_point startedAt_{};
    LogStatus log_;
    uint64_t lost_ = 0;
    std::vector<OutputStatus> told_;  // what stderr was told of each output
    std::chrono::steady_clock::time_point droppedToldAt_{};
    std::chrono::steady_clock::time_point statusDue_{};
};

}  // namespace zarn
