#pragma once
// PackBuilder: a survey's records as rows of zarn.packs, in PostgreSQL's binary
// COPY format. A pack holds records that follow each other in the log, all of
// one type and shape (as many channels, or one sweep layout), all within one
// hour of the device's clock, at most kPackRecords of them; its values are
// arrays, one element a record, reading or sweep point:
//
//   seconds   each record's time after the hour; NULL: evenly spaced from
//             first_time to last_time
//   offsets   each record's byte offset after the first; NULL: evenly spaced
//   notes     NULL: none; lat, lon: NULL when no record has a place
//   slots, bands, channels, hz   the places its readings take (a dictionary)
//   keys      each reading's place in it; NULL: every record has them in order
//   levels    each reading's level (1/16 dB; best servers whole dBm)
//   sweep_band, first_hz, step_hz  the layout of its sweeps; peak_hz, peak_dbm
//   points    every sweep's points one after another in dBm (real), NULL where
//             not measured: a sweep's levels are a slice of it
//
// Pack boundaries follow from the log and where each push began: a push never
// writes a pack again, so a log pushed in steps has short packs where each
// push began, until zarnlog db compact packs them as one push would.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "outputs/archive/archive_connection.h"
#include "outputs/archive/archive_record.h"
#include "outputs/archive/copy_rows.h"

namespace zarn {

constexpr size_t kPackRecords = 256;
// Sweep points in a pack: a sweep's slice of a pack's points is found by counting its NULLs.
constexpr size_t kPackPoints = size_t{1} << 15;

extern const char* const kCopyPacks;
extern const char* const kCopyPacksPushedAt;  // the same with pushed_at last, for a migration

long long hourOf(long long seconds);

// Packs in kCopyPacks's format (kCopyPacksPushedAt's `withPushedAt`) into zarn.packs, inside the
// caller's transaction. COPY cannot write a table under row-level security: they go into a
// temporary table of the session, and from there in by INSERT, which the policies check.
bool copyPacks(ArchiveConnection& db, std::string_view data, std::string& error, bool withPushedAt = false);

class PackBuilder {
public:
    explicit PackBuilder(int32_t survey, bool withPushedAt = false) : survey_(survey), withPushedAt_(withPushedAt) {}

    // `follows`: the log's next record after the one added before, nothing between.
    // `pushedAtMicros`: when a migration moves a record, when it was pushed (Unix µs).
    void add(int64_t recordNo, const ArchiveRecord& r, bool follows, int64_t pushedAtMicros = 0);
    bool fits(const ArchiveRecord& r, bool follows) const;
    // Every pack as COPY data; no record can join them after it.
    std::string_view data();
    size_t packs() const { return packs_ + (count_ ? 1 : 0); }
    size_t records() const { return records_; }
    size_t logBytes() const { return logBytes_; }
    size_t bytes() const { return rows_.size(); }

    struct Made {
        int64_t firstOffset = 0, firstRecordNo = 0;
        long long hour = 0;
        size_t records = 0;
    };
    // The packs so far, the open one last.
    std::vector<Made> made() const;

private:
    void flush();
    void writeChannels();
    void writeSweeps();

    int32_t survey_;
    bool withPushedAt_;
    CopyRows rows_;
    size_t packs_ = 0, records_ = 0, logBytes_ = 0;
    std::vector<Made> made_;

    // The open pack.
    size_t count_ = 0;
    long long hour_ = 0, firstSeconds_ = 0, lastSeconds_ = 0;
    int64_t firstOffset_ = 0, lastOffset_ = 0, firstRecordNo_ = 0, pushedAt_ = 0;
    int type_ = 0;
    size_t channelsEach_ = 0;
    std::vector<int16_t> seconds_;
    std::vector<int32_t> offsets_;
    std::vector<std::string> notes_;
    std::vector<uint8_t> noted_, placed_;
    std::vector<double> lat_, lon_;
    std::vector<ChannelValue> dictionary_;  // level 0
    std::vector<int16_t> keys_, levels_;
    std::optional<SweepValues> layout_;  // of its sweeps, without points
    std::vector<int32_t> peakHz_;
    std::vector<float> peakDbm_, points_;  // NaN: none, not measured
    std::vector<uint8_t> peaked_;
};

}  // namespace zarn
