#include "outputs/archive/archive_walk.h"

#include <algorithm>

namespace zarn {

ArchiveWalk::ArchiveWalk(LogReader& reader, std::vector<ArchivedRun> runs, std::vector<KeptDamage> kept,
                         WalkStart start)
    : reader_(reader), runs_(std::move(runs)), kept_(std::move(kept)), count_(start.recordNo), own_(start.own),
      last_(start) {
    // The start is the first record of a run the archive holds: its number is the archive's.
    for (const ArchivedRun& r : runs_)
        if (r.firstOffset == start.offset) count_ = r.firstRecordNo;
    if (start.offset > 0) reader_.resumeAt(static_cast<size_t>(start.offset));
    else reader_.restart();
}

bool ArchiveWalk::matches(const LogRecord& r, int64_t offset, long long seconds, int type) const {
    return static_cast<int64_t>(r.offset) == offset && stampSeconds(r.time) == seconds && r.type == type;
}

void ArchiveWalk::passForeignBefore(int64_t offset) {
    for (; next_ < runs_.size() && runs_[next_].firstOffset < offset; ++next_) foreign_.push_back(runs_[next_]);
}

// A run whose first record is `first`: passed when the log holds its last record too, or has that
// place damaged; the reader then stands after it. False, the reader back at `first`: foreign.
bool ArchiveWalk::passRun(const ArchivedRun& run, const LogRecord& first) {
    const auto back = [&] {
        reader_.resumeAt(static_cast<size_t>(run.firstOffset));
        return false;
    };
    if (!matches(first, run.firstOffset, run.firstSeconds, run.firstType)) return back();
    if (run.lastOffset != run.firstOffset) {
        reader_.resumeAt(static_cast<size_t>(run.lastOffset));
        LogRecord last;
        const ReadStatus s = reader_.next(last);
        if (s == ReadStatus::Damaged) damaged(reader_.damage(), true);
        else if (s != ReadStatus::Record || !matches(last, run.lastOffset, run.lastSeconds, run.lastType)) return back();
    }
    lastMatchedOffset_ = run.firstOffset;
    last_ = {run.firstOffset, count_, own_};
    count_ += run.records;
    own_ += static_cast<uint64_t>(run.records);
    inRun_ = false;
    return true;
}

// A stretch this log has damaged: runs that begin in it are a better copy's records. One inside a
// run the archive holds (`covered`) is never kept.
void ArchiveWalk::damaged(const LogDamage& d, bool covered) {
    const int64_t end = static_cast<int64_t>(d.offset + d.length);
    passForeignBefore(static_cast<int64_t>(d.offset));
    bool held = false;
    for (; next_ < runs_.size() && runs_[next_].firstOffset < end; ++next_) {
        const ArchivedRun& run = runs_[next_];
        lastMatchedOffset_ = run.firstOffset;
        count_ += run.records;
        coveredUntil_ = std::max(coveredUntil_, run.lastOffset);
        held = true;
    }
    if (!held && !covered) damages_.push_back(d);
    inRun_ = false;
}

void ArchiveWalk::took(const LogRecord& r) {
    const auto offset = static_cast<int64_t>(r.offset);
    if (!inRun_) newRuns_.push_back({offset, 0});
    ++newRuns_.back().records;
    last_ = {offset, count_, own_};
    ++count_;
    ++own_;
    ++taken_;
    inRun_ = true;
}

// The runs the archive holds at `r`'s place, until one is passed; false when none is. After a
// failed check the record is read again (`r` then stays valid); `lost` when that fails.
bool ArchiveWalk::passRunsAt(LogRecord& r, bool& lost) {
    const auto offset = static_cast<int64_t>(r.offset);
    while (next_ < runs_.size() && runs_[next_].firstOffset == offset) {
        const ArchivedRun& candidate = runs_[next_++];
        if (passRun(candidate, r)) return true;
        foreign_.push_back(candidate);
        if (reader_.next(r) != ReadStatus::Record) return lost = true, false;
    }
    return false;
}

WalkEnd ArchiveWalk::run(const Taker& take) {
    LogRecord r;
    for (ReadStatus s; (s = reader_.next(r)) != ReadStatus::End;) {
        if (s == ReadStatus::Damaged) {
            const LogDamage& d = reader_.damage();
            if (d.offset + d.length >= reader_.size()) return settle(), WalkEnd::CutShort;
            damaged(d, false);
            continue;
        }
        const auto offset = static_cast<int64_t>(r.offset);
        if (offset <= coveredUntil_) {  // in a run that began in a stretch damaged here
            ++own_;
            inRun_ = false;
            continue;
        }
        passForeignBefore(offset);
        bool lost = false;
        if (passRunsAt(r, lost)) continue;
        if (lost) break;
        const TakeContext context{count_, {offset, count_, own_}, inRun_};
        const Take t = take(context, r);
        if (t == Take::Refused) return settle(), WalkEnd::Refused;
        took(r);
        if (t == Take::TakenAndFull) return settle(), WalkEnd::Full;
    }
    settle();
    return WalkEnd::LogEnd;
}

// Which new records filled gaps.
void ArchiveWalk::settle() {
    const auto logSize = static_cast<int64_t>(reader_.size());
    // Runs after the new ones that are the log's (met), or not yet judged within the log and numbered
    // among the new records (a better copy's, whose numbers the new ones would take).
    int64_t lastHeld = lastMatchedOffset_;
    for (size_t i = next_; i < runs_.size(); ++i)
        if (runs_[i].firstOffset < logSize && runs_[i].firstRecordNo < count_)
            lastHeld = std::max(lastHeld, runs_[i].firstOffset);
    std::vector<NewRun> gaps;
    for (const NewRun& n : newRuns_) {
        const bool inKept = std::any_of(kept_.begin(), kept_.end(), [&](const KeptDamage& k) {
            return n.firstOffset >= k.offset && n.firstOffset < k.offset + k.length;
        });
        if (inKept || n.firstOffset < lastHeld) {
            gaps.push_back(n);
            gapFilled_ += static_cast<uint64_t>(n.records);
        }
    }
    newRuns_ = gaps;
}

}  // namespace zarn
