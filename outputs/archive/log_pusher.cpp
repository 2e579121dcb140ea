#include "outputs/archive/log_pusher.h"

#include <openssl/evp.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <vector>

#include "outputs/archive/archive_packs.h"
#include "outputs/archive/archive_record.h"
#include "outputs/archive/hourly_figures.h"
#include "outputs/archive/archive_schema.h"
#include "outputs/archive/archive_sites.h"
#include "recording/log_reader.h"
#include "survey/json_writer.h"

namespace zarn {
namespace {

// A batch: about 10 MB of sweeps, or a day of records a second, in one transaction.
constexpr size_t kBatchRecords = 100000;
constexpr size_t kBatchLogBytes = size_t{10} << 20;
constexpr const char* kDiskFull = "53100";
constexpr const char* kNoPartition = "23514";
constexpr const char* kDeadlock = "40P01";

std::string hex(const unsigned char* bytes, size_t n) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += kHex[bytes[i] >> 4];
        out += kHex[bytes[i] & 15];
    }
    return out;
}

std::string sha256(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!context || !EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) ||
        !EVP_DigestUpdate(context.get(), a.data(), a.size()) || !EVP_DigestUpdate(context.get(), b.data(), b.size()) ||
        !EVP_DigestFinal_ex(context.get(), digest, &size))
        return {};
    return hex(digest, size);
}

std::string textOf(const std::string& text) {
    std::string out;
    appendJsonString(out, text);
    return out;
}

std::string number(long long n) { return std::to_string(n); }

std::string bigintArray(const std::vector<int64_t>& values) {
    std::string text = "{";
    for (int64_t v : values) text += (text.size() > 1 ? "," : "") + std::to_string(v);
    return text + "}";
}

}  // namespace

bool readLogIdentity(const std::string& path, LogIdentity& identity, std::string& error) {
    identity = {};
    LogReader reader;
    LogHeader header;
    if (!reader.open(path) || !reader.readHeader(header)) return error = reader.problem(), false;
    identity.version = header.version;
    identity.pcsRaster = header.pcsRaster;
    LogRecord r;
    ReadStatus s;
    while ((s = reader.next(r)) == ReadStatus::Damaged) {
    }
    if (!reader.readError().empty()) return error = "read error: " + reader.readError(), false;
    if (s == ReadStatus::End) return true;
    // The bytes as they are in the file: the header, and the record from its mark to its end.
    const size_t whole = kRecordFixedSize + r.note.size() + 3 + r.length;
    std::vector<uint8_t> head(kLogHeaderSize), first(whole);
    const int fd = openRegularFile(path, error);
    if (fd < 0) return false;
    const bool read = ::pread(fd, head.data(), head.size(), 0) == static_cast<ssize_t>(head.size()) &&
                      ::pread(fd, first.data(), whole, static_cast<off_t>(r.offset)) == static_cast<ssize_t>(whole);
    ::close(fd);
    if (!read) return error = "the log changed while it was read", false;
    identity.hash = sha256(head, first);
    if (identity.hash.empty()) return error = "cannot compute SHA-256", false;
    identity.hasRecord = true;
    return true;
}

std::string defaultSite(bool& given) {
    const char* site = std::getenv("ZARN_SITE");
    given = site && *site;
    if (given) return site;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || !*host) return "unknown";
    return host;
}

LogPusher::LogPusher(ArchiveConnection& db, std::string logPath, std::string site, bool siteGiven)
    : db_(db), path_(std::move(logPath)), site_(std::move(site)), siteGiven_(siteGiven) {}

bool LogPusher::identify(std::string& error) { return readLogIdentity(path_, identity_, error); }

// The survey of the log's content, made inside the caller's transaction when there is none (`made`).
bool LogPusher::findSurvey(bool& made, std::string& error) {
    SqlRows rows;
    const std::string hash = identity_.hash;
    {
        const std::string fileName = validUtf8(std::filesystem::path(path_).filename().string());
        const SqlValue raster = identity_.pcsRaster ? SqlValue(number(identity_.pcsRaster)) : SqlValue();
        if (!db_.exec("INSERT INTO zarn.logs (site, file_name, content_hash, pcs_raster, format_version) "
                      "VALUES ($1, $2, decode($3, 'hex'), $4::integer, $5) ON CONFLICT (content_hash) DO NOTHING "
                      "RETURNING id",
                      {site_, fileName, hash, raster, validUtf8(identity_.version)}, &rows, error))
            return false;
        made = !rows.empty();
        if (made) return survey_ = std::stoi(rows.text(0, 0)), true;
    }
    if (!db_.exec("SELECT id, site FROM zarn.logs WHERE content_hash = decode($1, 'hex')", {hash}, &rows, error))
        return false;
    if (rows.empty()) return true;
    const std::string site = rows.text(0, 1);
    if (siteGiven_ && site != site_) {
        error = "pushed before as site " + textOf(site) + " (survey " + rows.text(0, 0) + "), not pushed again as " +
                textOf(site_) + "; without --site it goes on as " + textOf(site);
        return false;
    }
    site_ = site;
    survey_ = std::stoi(rows.text(0, 0));
    return true;
}

// A role that is a site pushes for it alone; without --site, under its name.
bool LogPusher::checkRole(std::string& error) {
    if (!readConnectedRole(db_, role_, error)) return false;
    if (!siteGiven_ && role_.site) site_ = *role_.site;
    if (const std::string refusal = siteRefusal(role_, site_); !refusal.empty()) return error = refusal, false;
    return roleChecked_ = true;
}

bool LogPusher::push(RecordPlaces& places, PushProgress& progress, std::string& error) {
    progress.cutShort = progress.heldBack = false;
    if (!identity_.hasRecord && !identify(error)) return false;
    if (!identity_.hasRecord) return true;
    if (!roleChecked_ && !checkRole(error)) return false;
    for (bool more = true; more;)
        if (!batch(places, progress, more, error)) return false;
    return true;
}

struct LogPusher::Batch {
    Batch(uint32_t pcsRaster, int32_t survey, int64_t pushedAt)
        : decoder(pcsRaster), packs(survey, true), pushedAt(pushedAt) {}
    RecordDecoder decoder;
    PackBuilder packs;
    HourlyFigures hourly;
    WalkStart lastPack;  // where the last pack begins
    int64_t pushedAt;    // Unix µs, once the survey's lock is held: later than any batch before
};

// The survey's packs and pruned packs from the one that holds the cursor on, and its damaged
// stretches there.
bool LogPusher::readArchived(std::vector<ArchivedRun>& runs, std::vector<KeptDamage>& kept, std::string& error) {
    SqlRows rows;
    const std::string survey = number(survey_);
    const std::vector<SqlValue> from{survey, number(cursor_.offset)};
    if (!db_.exec("WITH s AS (SELECT coalesce(greatest("
                  "(SELECT max(first_offset) FROM zarn.packs WHERE survey = $1::integer AND first_offset <= $2::bigint), "
                  "(SELECT max(first_offset) FROM zarn.pruned WHERE survey = $1::integer AND first_offset <= $2::bigint)), "
                  "$2::bigint) AS first) "
                  "SELECT first_offset, last_offset, first_record_no + zarn.moved_up(survey, first_offset, pushed_at), "
                  "records, extract(epoch FROM first_time)::bigint, "
                  "extract(epoch FROM last_time)::bigint, type, extract(epoch FROM hour)::bigint, false "
                  "FROM zarn.packs WHERE survey = $1::integer AND first_offset >= (SELECT first FROM s) "
                  "UNION ALL "
                  "SELECT first_offset, last_offset, first_record_no + zarn.moved_up(survey, first_offset, pushed_at), "
                  "records, extract(epoch FROM first_time)::bigint, "
                  "extract(epoch FROM last_time)::bigint, type, extract(epoch FROM hour)::bigint, true "
                  "FROM zarn.pruned WHERE survey = $1::integer AND first_offset >= (SELECT first FROM s) "
                  "ORDER BY 1, 3",
                  from, &rows, error))
        return false;
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        ArchivedRun r;
        r.firstOffset = std::stoll(rows.text(i, 0));
        r.lastOffset = std::stoll(rows.text(i, 1));
        r.firstRecordNo = std::stoll(rows.text(i, 2));
        r.records = std::stoll(rows.text(i, 3));
        r.firstSeconds = std::stoll(rows.text(i, 4));
        r.lastSeconds = std::stoll(rows.text(i, 5));
        r.firstType = r.lastType = std::stoi(rows.text(i, 6));
        r.hour = std::stoll(rows.text(i, 7));
        r.pruned = rows.text(i, 8) == "t";
        runs.push_back(r);
    }
    // A pack merged by zarnlog db compact across where the last batch ended: the walk begins at it.
    if (!runs.empty() && runs.front().firstOffset < cursor_.offset) {
        const ArchivedRun& r = runs.front();
        if (r.lastOffset < cursor_.offset) runs.erase(runs.begin());
        else cursor_ = {r.firstOffset, r.firstRecordNo, cursor_.own - static_cast<uint64_t>(cursor_.recordNo - r.firstRecordNo)};
    }
    if (!db_.exec("SELECT byte_offset, byte_length FROM zarn.damaged_stretches "
                  "WHERE survey = $1::integer AND byte_offset + byte_length > $2::bigint ORDER BY byte_offset",
                  from, &rows, error))
        return false;
    for (size_t i = 0; i < rows.rows.size(); ++i)
        kept.push_back({std::stoll(rows.text(i, 0)), std::stoll(rows.text(i, 1))});
    return true;
}

// The gaps filled, noted: the packs after each, written before this batch, count its records in their
// numbers (zarn.moved_up); the batch's own packs have theirs.
bool LogPusher::renumber(const std::vector<NewRun>& gaps, int64_t pushedAt, std::string& error) {
    std::vector<int64_t> offsets, counts;
    for (const NewRun& g : gaps) offsets.push_back(g.firstOffset), counts.push_back(g.records);
    return db_.exec("INSERT INTO zarn.renumbered (survey, first_offset, records, at) "
                    "SELECT $1::integer, g.x, g.k, 'epoch'::timestamptz + $4::bigint * interval '1 microsecond' "
                    "FROM unnest($2::bigint[], $3::bigint[]) AS g (x, k)",
                    {number(survey_), bigintArray(offsets), bigintArray(counts), number(pushedAt)}, nullptr, error);
}

// The batch's rows: the gaps it fills, the packs and their hourly figures, the damaged stretches. It
// adds rows and changes none: a damaged stretch a pack begins in counts as filled (zarn.filled).
bool LogPusher::writeBatch(const ArchiveWalk& walk, Batch& b, std::string& error) {
    const std::string survey = number(survey_);
    if (walk.gapFilled() && !renumber(walk.newRuns(), b.pushedAt, error)) return false;
    if (b.packs.packs() && !copyPacks(db_, b.packs.data(), error, true)) return false;
    if (!b.hourly.empty() && !db_.exec(kAddHourly, b.hourly.parameters(site_), nullptr, error)) return false;
    for (const LogDamage& d : walk.damages())
        if (!db_.exec("INSERT INTO zarn.damaged_stretches (survey, byte_offset, byte_length, problem) "
                      "VALUES ($1::integer, $2::bigint, $3::bigint, $4) ON CONFLICT DO NOTHING",
                      {survey, number(static_cast<long long>(d.offset)), number(static_cast<long long>(d.length)),
                       validUtf8(d.problem)},
                      nullptr, error))
            return false;
    return true;
}

// A survey just made whose first records another survey of the site holds at the same places and
// times, with the same values: the same recording, known by another first record.
bool LogPusher::findTwin(PushProgress& progress, std::string& error) {
    // Paired by place and time; the same when every pair has the same type and values.
    const char* const kTwin = R"sql(
WITH a AS (
    SELECT hour, byte_offset, time, type, readings, sweep
    FROM zarn.pack_records WHERE survey = $1::integer AND record_no < 16)
SELECT o.id, o.file_name FROM zarn.logs o
CROSS JOIN LATERAL (
    SELECT count(*) AS paired,
           count(*) FILTER (WHERE b.type = a.type AND b.readings IS NOT DISTINCT FROM a.readings
                                  AND b.sweep IS NOT DISTINCT FROM a.sweep) AS equal
    FROM a JOIN zarn.pack_records b ON b.survey = o.id AND b.hour = a.hour AND b.pack <= a.byte_offset
                                    AND b.byte_offset = a.byte_offset AND b.time = a.time) m
WHERE o.site = $2 AND o.id <> $1::integer AND m.paired >= 2 AND m.equal = m.paired
ORDER BY o.id LIMIT 1
)sql";
    SqlRows twin;
    if (!db_.exec(kTwin, {number(survey_), site_}, &twin, error)) return false;
    if (twin.empty()) return true;
    progress.notices.push_back(
        "its records match those of survey " + twin.text(0, 0) + " of the same site (first pushed from " +
        textOf(twin.text(0, 1)) +
        ") at the same places, with the same times and values: one recording, whose first record one of the two "
        "logs has damaged? It is stored as survey " + number(survey_) +
        " beside it. The intact log's survey is the one whose first record lies at the lower byte offset "
        "(min(byte_offset) of zarn.records); zarn.logs.content_hash tells them apart");
    return true;
}

void LogPusher::tellForeign(const ArchiveWalk& walk, PushProgress& progress) {
    uint64_t records = 0;
    std::string first;
    for (const ArchivedRun& r : walk.foreign()) {
        if (!foreignSeen_.insert({r.firstOffset, r.firstRecordNo}).second) continue;
        records += static_cast<uint64_t>(r.records);
        if (first.empty())
            first = "record_no " + number(r.firstRecordNo) + " at byte " + number(r.firstOffset);
    }
    if (!records) return;
    progress.foreign += records;
    progress.notices.push_back("survey " + number(survey_) + " holds " + number(static_cast<long long>(records)) +
                               " records that are not this log's (the first: " + first +
                               "): left as they are; they are no part of the push, and the log's own records go in "
                               "around them");
}

// A month's partitions for each pack of the batch, each made in a transaction of its own.
bool LogPusher::makeMonths(const Batch& b, std::string& error) {
    std::set<long long> hours;
    for (const PackBuilder::Made& m : b.packs.made()) hours.insert(m.hour);
    for (long long hour : hours)
        if (!db_.exec("SELECT zarn.make_month('epoch'::timestamp + $1::bigint * interval '1 second')", {number(hour)},
                      nullptr, error))
            return false;
    return true;
}

// Again after making the partitions a batch lacked, or when the server broke a deadlock with it.
bool LogPusher::batch(RecordPlaces& places, PushProgress& progress, bool& more, std::string& error) {
    for (int tries = 0;; ++tries) {
        bool monthsMissing = false;
        failedState_.clear();
        if (attempt(places, progress, more, monthsMissing, error)) {
            if (!monthsMissing) return true;
        } else if (failedState_ != kDeadlock) {
            return false;
        }
        if (tries == 3) return monthsMissing ? (error = "no partition can be made for the records' months", false) : false;
    }
}

bool LogPusher::attempt(RecordPlaces& places, PushProgress& progress, bool& more, bool& monthsMissing,
                        std::string& error) {
    more = monthsMissing = false;
    bool made = false;
    const auto fail = [&] {
        failedState_ = db_.sqlState();
        if (failedState_ == kDiskFull) error = "the database's disk is full: " + error;
        std::string ignored;
        if (db_.isOpen()) db_.exec("ROLLBACK", ignored);
        if (made) survey_ = 0;
        return false;
    };
    if (!db_.exec("BEGIN", error)) return false;
    if (!survey_ && !findSurvey(made, error)) return fail();
    if (!survey_ && role_.site)
        return error = "pushed before by another site, whose surveys the site " + textOf(*role_.site) +
                       " cannot see: nothing pushed",
               fail();
    if (!survey_) return error = "the survey's row cannot be found", fail();
    if (made) cursor_ = {};
    std::vector<ArchivedRun> runs;
    std::vector<KeptDamage> kept;
    SqlRows now;
    if (!db_.exec("SELECT pg_advisory_xact_lock($1::integer, $2::integer)", {kArchiveLockClass, number(survey_)},
                  nullptr, error) ||
        !db_.exec("SELECT (extract(epoch FROM clock_timestamp()) * 1000000)::bigint", {}, &now, error) ||
        !readArchived(runs, kept, error))
        return fail();

    LogReader reader;
    LogHeader header;
    if (!reader.open(path_) || !reader.readHeader(header)) return error = reader.problem(), fail();
    Batch b(header.pcsRaster, survey_, std::stoll(now.text(0, 0)));
    uint64_t notPlaced = 0;
    ArchiveRecord record;
    ArchiveWalk walk(reader, std::move(runs), std::move(kept), cursor_);
    const WalkEnd end = walk.run([&](const TakeContext& at, const LogRecord& r) {
        Place place;
        bool settled = true;
        const Placing placing = places.place(r.time, place, settled);
        if (!settled) return Take::Refused;
        b.decoder.decode(r, placing == Placing::Placed ? std::optional(place) : std::nullopt, record);
        if (!b.packs.fits(record, at.follows)) b.lastPack = at.at;
        b.packs.add(at.recordNo, record, at.follows, b.pushedAt);
        b.hourly.add(record);
        notPlaced += placing != Placing::Placed;
        const bool full = b.packs.records() >= kBatchRecords || b.packs.logBytes() >= kBatchLogBytes;
        return full ? Take::TakenAndFull : Take::Taken;
    });
    if (!reader.readError().empty()) return error = "read error: " + reader.readError(), fail();
    progress.cutShort = end == WalkEnd::CutShort;
    progress.heldBack = end == WalkEnd::Refused;
    more = end == WalkEnd::Full;
    if (walk.taken() == 0 && walk.damages().empty()) {
        fail();  // nothing new: a survey made for it goes again
        if (!made) cursor_ = walk.last();
        progress.stored = walk.own();
        tellForeign(walk, progress);
        return true;
    }
    if (!writeBatch(walk, b, error)) {
        fail();
        if (failedState_ != kNoPartition) return false;
        monthsMissing = true;
        return makeMonths(b, error);
    }
    if ((made && !findTwin(progress, error)) || !db_.exec("COMMIT", error)) return fail();
    cursor_ = b.packs.records() ? b.lastPack : walk.last();
    progress.stored = walk.own();
    progress.added += walk.taken();
    progress.filled += walk.gapFilled();
    progress.notPlaced += notPlaced;
    tellForeign(walk, progress);
    return true;
}

bool LogPusher::totals(Totals& totals, std::string& error) {
    totals = {};
    if (!survey_) return true;
    SqlRows rows;
    if (!db_.exec("SELECT (SELECT coalesce(max(first_record_no + zarn.moved_up($1::integer, first_offset, pushed_at) "
                  "+ records), 0) FROM "
                  "(SELECT first_record_no, first_offset, pushed_at, records FROM zarn.packs WHERE survey = $1::integer "
                  "UNION ALL SELECT first_record_no, first_offset, pushed_at, records FROM zarn.pruned "
                  "WHERE survey = $1::integer) a), "
                  "(SELECT coalesce(sum(CASE WHEN lat IS NULL THEN records "
                  "ELSE cardinality(array_positions(lat, NULL)) END), 0) FROM zarn.packs WHERE survey = $1::integer), "
                  "(SELECT count(*) FROM zarn.damaged_stretches d WHERE survey = $1::integer "
                  "AND NOT zarn.filled(d.survey, d.byte_offset, d.byte_length))",
                  {number(survey_)}, &rows, error))
        return false;
    totals.records = std::stoull(rows.text(0, 0));
    totals.notPlaced = std::stoull(rows.text(0, 1));
    totals.damaged = std::stoull(rows.text(0, 2));
    return true;
}

}  // namespace zarn
