#pragma once
// LogPusher: a log's records into the archive, exactly once, for `zarnlog push`
// and for zarn-record --archive, which follows its log with it.
//
// - A log is a survey known by its content: the SHA-256 of its header and its
//   first intact record. A copied or renamed log is the same survey.
// - Records are numbered in the log reader's order from 0. Each batch is one
//   transaction: it takes the survey's advisory lock, reads where the archive
//   stands (its last record of the log, which must still be in the log at its
//   byte offset), reads on from there and COPYs the records and their values.
//   A push that fails leaves whole batches; the next one goes on after them, so
//   any number of pushes, interrupted or at once, store each record once
//   (the key (survey, record_no) holds that too).
// - The survey's row is made in its first batch, so a failed first batch
//   leaves nothing. A survey pushed before keeps its site; pushing it under
//   another site given explicitly is refused.
// - Damaged stretches are skipped as the reader skips them and kept in
//   zarn.damaged_stretches. One that runs to the log's end may be a record
//   still being written: the push stops before it (cutShort).
// - A record whose place may still come (RecordPlaces says it is not settled)
//   stops the push before it (heldBack), for a later push.

#include <cstdint>
#include <optional>
#include <string>

#include "outputs/archive/archive_connection.h"
#include "survey/track_join.h"

namespace zarn {

// Where records were, for the pusher.
class RecordPlaces {
public:
    virtual ~RecordPlaces() = default;
    // `settled` false: the place may still come, as the track is still being written.
    virtual Placing place(const LocalTime& stamp, Place& out, bool& settled) = 0;
};

// No track: no record has a place.
class NoPlaces : public RecordPlaces {
public:
    Placing place(const LocalTime&, Place&, bool& settled) override {
        settled = true;
        return Placing::Outside;
    }
};

// A whole track.
class TrackPlaces : public RecordPlaces {
public:
    explicit TrackPlaces(const TrackJoin& join) : join_(join) {}
    Placing place(const LocalTime& stamp, Place& out, bool& settled) override {
        settled = true;
        return join_.place(stamp, out);
    }

private:
    const TrackJoin& join_;
};

struct LogIdentity {
    std::string hash;  // SHA-256, lower-case hexadecimal
    std::string version;
    uint32_t pcsRaster = 0;
    bool hasRecord = false;  // false: only a header yet, nothing to know it by
};
// False with `error` when the file cannot be read or is not a log.
bool readLogIdentity(const std::string& path, LogIdentity& identity, std::string& error);

struct PushProgress {
    uint64_t stored = 0;  // the log's records in the archive
    uint64_t added = 0;   // by this pusher
    uint64_t notPlaced = 0;
    bool cutShort = false;
    bool heldBack = false;
};

class LogPusher {
public:
    // `site`: the survey's label; `siteGiven`: chosen by the user rather than the host's name.
    LogPusher(ArchiveConnection& db, std::string logPath, std::string site, bool siteGiven);

    // Reads the log's identity; false with `error` for a file that is not a log.
    bool identify(std::string& error);
    bool identified() const { return identity_.hasRecord; }

    // Pushes batch after batch to the log's end, or to a record cut short or held back.
    bool push(RecordPlaces& places, PushProgress& progress, std::string& error);

    // The survey's id (0 before its first batch) and site.
    int32_t survey() const { return survey_; }
    const std::string& site() const { return site_; }

    // The survey as the archive holds it: records, those without a place, damaged stretches.
    struct Totals {
        uint64_t records = 0, notPlaced = 0, damaged = 0;
    };
    bool totals(Totals& totals, std::string& error);

private:
    bool batch(RecordPlaces& places, PushProgress& progress, bool& more, std::string& error);
    bool findSurvey(bool& made, std::string& error);

    ArchiveConnection& db_;
    std::string path_;
    std::string site_;
    bool siteGiven_;
    LogIdentity identity_;
    int32_t survey_ = 0;
};

// The site of a survey when none is given: ZARN_SITE, else the host's name.
std::string defaultSite(bool& given);

}  // namespace zarn
