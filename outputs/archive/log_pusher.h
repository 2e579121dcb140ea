#pragma once
// LogPusher: a log's records into the archive, exactly once, for `zarnlog push`
// and for zarn-record --archive, which follows its log with it.
//
// - A log is a survey known by its content: the SHA-256 of its header and its
//   first intact record. A copied or renamed log is the same survey.
// - Records are numbered in the log's order from 0. Each batch is one
//   transaction: it takes the survey's advisory lock, reads what the archive
//   holds of the survey from where the last batch ended and walks the log
//   beside it (archive_walk.h): what the log holds and the archive lacks goes
//   in as packs (archive_packs.h) by COPY, gaps included, with its hourly
//   figures (hourly_figures.h); packs the log contradicts are foreign, reported
//   and passed by. A push adds rows and changes none it wrote before: a batch
//   starts new packs, so a log pushed in many small steps (a recorder's) has
//   short packs until zarnlog db compact merges them (archive_compact.h) into
//   the packs of one push. A push that fails leaves
//   whole batches; the next one goes on after them, so any number of pushes,
//   interrupted or at once, store each record once.
// - A month without partitions yet: the batch rolls back, zarn.make_month
//   makes them (each in a transaction of its own), and the batch goes again.
// - A pruned pack (zarn.pruned) counts as held: pushing its log again adds
//   nothing that was pruned.
// - Filling a gap moves up the numbers of the records after it: noted in
//   zarn.renumbered (every pack keeps when it was written, a batch's time
//   taken once it holds the lock), so the views and the next walk count them;
//   the damaged stretch of an earlier copy that a pack then begins in counts
//   as filled. zarnlog db compact folds both in.
// - The survey's row is made in its first batch, so a failed first batch
//   leaves nothing. A survey pushed before keeps its site; pushing it under
//   another site given explicitly is refused. A role registered as a site
//   pushes under its site's name alone (archive_sites.h); the database holds
//   it to that, the pusher says so before it begins. A new survey whose records the
//   archive holds already under another survey of the site (the same places,
//   times and values: a copy whose first record is damaged) is stored, and
//   said (notices).
// - Damaged stretches are skipped as the reader skips them and kept in
//   zarn.damaged_stretches. One that runs to the log's end may be a record
//   still being written: the push stops before it (cutShort).
// - A record whose place may still come (RecordPlaces says it is not settled)
//   stops the push before it (heldBack), for a later push.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "outputs/archive/archive_connection.h"
#include "outputs/archive/archive_sites.h"
#include "outputs/archive/archive_walk.h"
#include "survey/track_join.h"

namespace zarn {

struct ArchiveRecord;

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
    uint64_t filled = 0;  // of them, into gaps
    uint64_t notPlaced = 0;
    uint64_t foreign = 0;  // the survey's records that the log contradicts
    bool cutShort = false;
    bool heldBack = false;
    std::vector<std::string> notices;  // said once, each a sentence
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
    struct Batch;
    bool batch(RecordPlaces& places, PushProgress& progress, bool& more, std::string& error);
    bool attempt(RecordPlaces& places, PushProgress& progress, bool& more, bool& monthsMissing, std::string& error);
    bool findSurvey(bool& made, std::string& error);
    bool readArchived(std::vector<ArchivedRun>& runs, std::vector<KeptDamage>& kept, std::string& error);
    bool writeBatch(const ArchiveWalk& walk, Batch& b, std::string& error);
    bool renumber(const std::vector<NewRun>& gaps, int64_t pushedAt, std::string& error);
    bool makeMonths(const Batch& b, std::string& error);
    void tellForeign(const ArchiveWalk& walk, PushProgress& progress);
    bool findTwin(PushProgress& progress, std::string& error);
    bool checkRole(std::string& error);

    ArchiveConnection& db_;
    std::string path_;
    std::string site_;
    bool siteGiven_;
    LogIdentity identity_;
    int32_t survey_ = 0;
    WalkStart cursor_;  // where the next batch begins
    std::string failedState_;  // the SQLSTATE of the last batch that failed
    std::set<std::pair<int64_t, int64_t>> foreignSeen_;  // (offset, record_no) of runs told
    ConnectedRole role_;
    bool roleChecked_ = false;
};

// The site of a survey when none is given: ZARN_SITE, else the host's name.
std::string defaultSite(bool& given);

}  // namespace zarn
