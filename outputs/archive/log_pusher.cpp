#include "outputs/archive/log_pusher.h"

#include <openssl/evp.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "outputs/archive/archive_rows.h"
#include "outputs/archive/archive_schema.h"
#include "recording/log_reader.h"
#include "survey/json_writer.h"

namespace zarn {
namespace {

// A batch: about 10 MB of sweeps, or a day of records a second, in one transaction.
constexpr size_t kBatchRecords = 100000;
constexpr size_t kBatchLogBytes = size_t{10} << 20;
constexpr const char* kDiskFull = "53100";

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

bool LogPusher::push(RecordPlaces& places, PushProgress& progress, std::string& error) {
    progress.cutShort = progress.heldBack = false;
    if (!identity_.hasRecord && !identify(error)) return false;
    if (!identity_.hasRecord) return true;
    for (bool more = true; more;)
        if (!batch(places, progress, more, error)) return false;
    return true;
}

bool LogPusher::batch(RecordPlaces& places, PushProgress& progress, bool& more, std::string& error) {
    more = false;
    bool made = false;
    const auto fail = [&] {
        if (db_.sqlState() == kDiskFull) error = "the database's disk is full: " + error;
        std::string ignored;
        if (db_.isOpen()) db_.exec("ROLLBACK", ignored);
        if (made) survey_ = 0;
        return false;
    };
    if (!db_.exec("BEGIN", error)) return false;
    if (!survey_ && !findSurvey(made, error)) return fail();
    if (!survey_) return error = "the survey's row cannot be found", fail();
    const std::string survey = number(survey_);
    SqlRows last;
    if (!db_.exec("SELECT pg_advisory_xact_lock($1::integer, $2::integer)", {kArchiveLockClass, survey}, nullptr,
                  error) ||
        !db_.exec("SELECT record_no, byte_offset, extract(epoch FROM time)::bigint, type FROM zarn.records "
                  "WHERE survey = $1::integer ORDER BY record_no DESC LIMIT 1",
                  {survey}, &last, error))
        return fail();

    LogReader reader;
    LogHeader header;
    if (!reader.open(path_) || !reader.readHeader(header)) return error = reader.problem(), fail();
    int64_t next = 0;
    LogRecord r;
    if (!last.empty()) {
        // Where the archive stands must still be in the log: the record it holds last, at its offset.
        const int64_t offset = std::stoll(last.text(0, 1));
        reader.resumeAt(static_cast<size_t>(offset));
        const bool same = reader.next(r) == ReadStatus::Record && static_cast<int64_t>(r.offset) == offset &&
                          stampSeconds(r.time) == std::stoll(last.text(0, 2)) &&
                          r.type == std::stoi(last.text(0, 3));
        if (!same) {
            error = "the log no longer holds record " + last.text(0, 0) + " at byte " + last.text(0, 1) +
                    " as the archive has it: not the log that was pushed, or overwritten since";
            return fail();
        }
        next = std::stoll(last.text(0, 0)) + 1;
    }
    progress.stored = static_cast<uint64_t>(next);

    RecordRows rows(header.pcsRaster, survey_);
    std::vector<LogDamage> damages;
    uint64_t count = 0, notPlaced = 0;
    for (ReadStatus status; (status = reader.next(r)) != ReadStatus::End;) {
        if (status == ReadStatus::Damaged) {
            const LogDamage& d = reader.damage();
            if (d.offset + d.length >= reader.size()) {
                progress.cutShort = true;
                break;
            }
            damages.push_back(d);
            continue;
        }
        Place place;
        bool settled = true;
        const Placing placing = places.place(r.time, place, settled);
        if (!settled) {
            progress.heldBack = true;
            break;
        }
        notPlaced += placing != Placing::Placed;
        rows.add(next + static_cast<int64_t>(count++), r,
                 placing == Placing::Placed ? std::optional(place) : std::nullopt);
        if (count >= kBatchRecords || rows.logBytes() >= kBatchLogBytes) {
            more = true;
            break;
        }
    }
    if (!reader.readError().empty()) return error = "read error: " + reader.readError(), fail();
    if (count == 0 && damages.empty()) return fail(), true;  // nothing new: a survey made for it goes again
    if (!db_.copyIn(kCopyRecords, rows.records.data(), error) ||
        (rows.sweeps.rows() && !db_.copyIn(kCopySweeps, rows.sweeps.data(), error)) ||
        (rows.readings.rows() && !db_.copyIn(kCopyChannelReadings, rows.readings.data(), error)))
        return fail();
    for (const LogDamage& d : damages)
        if (!db_.exec("INSERT INTO zarn.damaged_stretches (survey, byte_offset, byte_length, problem) "
                      "VALUES ($1::integer, $2::bigint, $3::bigint, $4) ON CONFLICT DO NOTHING",
                      {survey, number(static_cast<long long>(d.offset)), number(static_cast<long long>(d.length)),
                       validUtf8(d.problem)},
                      nullptr, error))
            return fail();
    if (!db_.exec("COMMIT", error)) return fail();
    progress.stored = static_cast<uint64_t>(next) + count;
    progress.added += count;
    progress.notPlaced += notPlaced;
    return true;
}

bool LogPusher::totals(Totals& totals, std::string& error) {
    totals = {};
    if (!survey_) return true;
    SqlRows rows;
    if (!db_.exec("SELECT (SELECT coalesce(max(record_no) + 1, 0) FROM zarn.records WHERE survey = $1::integer), "
                  "(SELECT count(*) FROM zarn.records WHERE survey = $1::integer AND geom IS NULL), "
                  "(SELECT count(*) FROM zarn.damaged_stretches WHERE survey = $1::integer)",
                  {number(survey_)}, &rows, error))
        return false;
    totals.records = std::stoull(rows.text(0, 0));
    totals.notPlaced = std::stoull(rows.text(0, 1));
    totals.damaged = std::stoull(rows.text(0, 2));
    return true;
}

}  // namespace zarn
