#pragma once
// ArchiveWalk: the pusher's pass through a log beside what the archive holds of
// its survey, which decides what a batch adds.
//
// - The archive's records come as runs: records it holds one after another in
//   the log, from firstOffset to lastOffset, numbered from firstRecordNo. A run
//   is the log's own when the log holds its first and last record at those
//   offsets with those times and types; the walk passes over it.
// - A run the log contradicts (another record there, or none where the log has
//   one) is foreign: counted and left alone. It covers nothing, so it never
//   keeps the log's own records out. Runs past the log's end are not judged.
// - A run that starts in a stretch this log has damaged holds records of a
//   better copy: they count in the numbering, and the stretch is not kept.
// - Every other record goes to `take` with its number: the number of records
//   before it in the log, the archive's and the new alike. A record added
//   before a run the archive holds, or inside a stretch it keeps as damaged,
//   fills a gap: the records after it move up (gapFilled(), newRuns()); a kept
//   stretch a pack then begins in counts as filled.
// - A damaged stretch that runs to the log's end may be a record still being
//   written: the walk stops before it (CutShort).

#include <cstdint>
#include <functional>
#include <vector>

#include "recording/log_reader.h"

namespace zarn {

struct ArchivedRun {
    int64_t firstOffset = 0, lastOffset = 0;
    int64_t firstRecordNo = 0, records = 1;
    long long firstSeconds = 0, lastSeconds = 0;
    int firstType = 0, lastType = 0;
    long long hour = 0;   // of its records, for a run that is a pack
    bool pruned = false;  // its values are gone
};

struct KeptDamage {
    int64_t offset = 0, length = 0;
};

// Where a walk begins: a record the archive holds (offset 0: the log's first), its
// number, and how many of the log's records the archive holds before it.
struct WalkStart {
    int64_t offset = 0;
    int64_t recordNo = 0;
    uint64_t own = 0;
};

// Records added one after another, for moving up the numbers of those after them.
struct NewRun {
    int64_t firstOffset = 0;
    int64_t records = 0;
};

// What the walk knows of a record it hands over.
struct TakeContext {
    int64_t recordNo = 0;
    WalkStart at;                       // a walk could begin at this record
    bool follows = false;               // the record taken before it is its neighbour in the log
};

enum class Take { Taken, TakenAndFull, Refused };
enum class WalkEnd { LogEnd, CutShort, Refused, Full };

class ArchiveWalk {
public:
    // `runs` and `kept` sorted by offset: those of the survey at or after start.offset.
    ArchiveWalk(LogReader& reader, std::vector<ArchivedRun> runs, std::vector<KeptDamage> kept, WalkStart start);

    using Taker = std::function<Take(const TakeContext& context, const LogRecord& r)>;
    WalkEnd run(const Taker& take);

    const std::vector<LogDamage>& damages() const { return damages_; }  // for the archive to keep
    const std::vector<ArchivedRun>& foreign() const { return foreign_; }
    const std::vector<NewRun>& newRuns() const { return newRuns_; }
    uint64_t taken() const { return taken_; }
    uint64_t gapFilled() const { return gapFilled_; }
    // The last record the archive holds once the batch is in; `own`: the log's records before it.
    const WalkStart& last() const { return last_; }
    // The log's records the archive holds once the batch is in, as far as the walk went.
    uint64_t own() const { return own_; }

private:
    bool matches(const LogRecord& r, int64_t offset, long long seconds, int type) const;
    bool passRun(const ArchivedRun& run, const LogRecord& first);
    bool passRunsAt(LogRecord& r, bool& lost);
    void damaged(const LogDamage& d, bool covered);
    void passForeignBefore(int64_t offset);
    void took(const LogRecord& r);
    void settle();

    LogReader& reader_;
    std::vector<ArchivedRun> runs_;
    std::vector<KeptDamage> kept_;
    size_t next_ = 0;  // the first run not yet met
    int64_t count_;    // the records before the next one, in the archive's numbering
    int64_t coveredUntil_ = -1;  // the last offset of a run met inside a damaged stretch
    std::vector<LogDamage> damages_;
    std::vector<ArchivedRun> foreign_;
    std::vector<NewRun> newRuns_;
    bool inRun_ = false;  // the last record read was taken
    int64_t lastMatchedOffset_ = -1;
    uint64_t taken_ = 0, gapFilled_ = 0, own_;
    WalkStart last_;
};

}  // namespace zarn
