#include "outputs/archive/archive_packs.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace zarn {
namespace {

constexpr int16_t kPackFields = 26;

bool sameKey(const ChannelValue& a, const ChannelValue& b) {
    return a.slot == b.slot && a.band == b.band && a.channel == b.channel && a.hz == b.hz;
}

bool sameLayout(const std::optional<SweepValues>& a, const std::optional<SweepValues>& b) {
    if (!a || !b) return !a && !b;
    return a->band == b->band && a->firstHz == b->firstHz && a->stepHz == b->stepHz &&
           a->levels.size() == b->levels.size();
}

}  // namespace

#define ZARN_PACK_COLUMNS                                                                                           \
    "survey, hour, first_offset, last_offset, first_record_no, records, first_time, last_time, type, seconds, "    \
    "offsets, notes, lat, lon, slots, bands, channels, hz, keys, levels, sweep_band, first_hz, step_hz, peak_hz, " \
    "peak_dbm, points"
const char* const kCopyPacks = "COPY zarn.packs (" ZARN_PACK_COLUMNS ") FROM STDIN (FORMAT binary)";
const char* const kCopyPacksPushedAt = "COPY zarn.packs (" ZARN_PACK_COLUMNS ", pushed_at) FROM STDIN (FORMAT binary)";
#undef ZARN_PACK_COLUMNS

bool copyPacks(ArchiveConnection& db, std::string_view data, std::string& error, bool withPushedAt) {
    const auto intoTemporary = [](std::string copy) {
        return copy.replace(copy.find("zarn.packs"), 10, "pg_temp.zarn_packs_in");
    };
    static const std::string kCopyIn = intoTemporary(kCopyPacks), kCopyInPushedAt = intoTemporary(kCopyPacksPushedAt);
    return db.exec("DO $$ BEGIN IF to_regclass('pg_temp.zarn_packs_in') IS NULL THEN "
                   "CREATE TEMP TABLE zarn_packs_in (LIKE zarn.packs INCLUDING DEFAULTS) ON COMMIT DELETE ROWS; "
                   "END IF; END $$",
                   error) &&
           db.copyIn(withPushedAt ? kCopyInPushedAt : kCopyIn, data, error) &&
           db.exec("INSERT INTO zarn.packs SELECT * FROM pg_temp.zarn_packs_in; TRUNCATE pg_temp.zarn_packs_in",
                   error);
}

long long hourOf(long long seconds) { return seconds - ((seconds % 3600) + 3600) % 3600; }

bool PackBuilder::fits(const ArchiveRecord& r, bool follows) const {
    return count_ && follows && count_ < kPackRecords && hourOf(r.seconds) == hour_ && r.type == type_ &&
           r.channels.size() == channelsEach_ && sameLayout(r.sweep, layout_) &&
           (!r.sweep || points_.size() + r.sweep->levels.size() <= kPackPoints) && r.offset - firstOffset_ < INT32_MAX;
}

void PackBuilder::add(int64_t recordNo, const ArchiveRecord& r, bool follows, int64_t pushedAtMicros) {
    if (!fits(r, follows)) {
        flush();
        hour_ = hourOf(r.seconds);
        firstSeconds_ = r.seconds;
        firstOffset_ = r.offset;
        firstRecordNo_ = recordNo;
        type_ = r.type;
        channelsEach_ = r.channels.size();
        layout_.reset();
        if (r.sweep) {
            layout_ = SweepValues{r.sweep->band, r.sweep->firstHz, r.sweep->stepHz, {}, {}, {}, 0};
            layout_->levels.resize(r.sweep->levels.size());
        }
        pushedAt_ = 0;
    }
    ++count_;
    ++records_;
    logBytes_ += r.logBytes;
    lastOffset_ = r.offset;
    lastSeconds_ = r.seconds;
    pushedAt_ = std::max(pushedAt_, pushedAtMicros);
    seconds_.push_back(static_cast<int16_t>(r.seconds - hour_));
    offsets_.push_back(static_cast<int32_t>(r.offset - firstOffset_));
    notes_.push_back(r.note);
    noted_.push_back(!r.note.empty());
    placed_.push_back(r.place.has_value());
    lat_.push_back(r.place ? r.place->lat : 0);
    lon_.push_back(r.place ? r.place->lon : 0);
    for (const ChannelValue& c : r.channels) {
        auto at = std::find_if(dictionary_.begin(), dictionary_.end(), [&](const ChannelValue& d) { return sameKey(d, c); });
        if (at == dictionary_.end()) at = dictionary_.insert(dictionary_.end(), c);
        keys_.push_back(static_cast<int16_t>(at - dictionary_.begin() + 1));
        levels_.push_back(c.level);
    }
    if (r.sweep) {
        const SweepValues& s = *r.sweep;
        peaked_.push_back(s.peakHz.has_value());
        peakHz_.push_back(static_cast<int32_t>(s.peakHz.value_or(0)));
        peakDbm_.push_back(s.peakHz ? static_cast<float>(dbmOfLevel(s.peakLevel)) : NAN);
        for (size_t i = 0; i < s.levels.size(); ++i)
            points_.push_back(s.measured[i] ? static_cast<float>(dbmOfLevel(s.levels[i])) : NAN);
    }
}

void PackBuilder::writeChannels() {
    if (!channelsEach_) {
        for (int i = 0; i < 6; ++i) rows_.null();
        return;
    }
    std::vector<int16_t> slots, bands;
    std::vector<int32_t> channels, hz;
    std::vector<uint8_t> known;
    for (const ChannelValue& d : dictionary_) {
        slots.push_back(d.slot);
        bands.push_back(d.band);
        channels.push_back(d.channel.value_or(0));
        known.push_back(d.channel.has_value());
        hz.push_back(static_cast<int32_t>(d.hz));
    }
    rows_.int2Array(slots.data(), slots.size());
    rows_.int2Array(bands.data(), bands.size());
    rows_.int4Array(channels.data(), channels.size(), known.data());
    rows_.int4Array(hz.data(), hz.size());
    bool cyclic = dictionary_.size() == channelsEach_;
    for (size_t j = 0; cyclic && j < keys_.size(); ++j) cyclic = keys_[j] == static_cast<int16_t>(j % channelsEach_ + 1);
    if (cyclic) rows_.null();
    else rows_.int2Array(keys_.data(), keys_.size());
    rows_.int2Array(levels_.data(), levels_.size());
}

void PackBuilder::writeSweeps() {
    if (!layout_) {
        for (int i = 0; i < 6; ++i) rows_.null();
        return;
    }
    rows_.int2(layout_->band);
    rows_.int4(static_cast<int32_t>(layout_->firstHz));
    rows_.int4(static_cast<int32_t>(layout_->stepHz));
    rows_.int4Array(peakHz_.data(), peakHz_.size(), peaked_.data());
    rows_.float4Array(peakDbm_.data(), peakDbm_.size());
    rows_.float4Array(points_.data(), points_.size());
}

void PackBuilder::flush() {
    if (!count_) return;
    rows_.beginRow(static_cast<int16_t>(kPackFields + (withPushedAt_ ? 1 : 0)));
    rows_.int4(survey_);
    rows_.timestampMicros(hour_ * 1000000);
    rows_.int8(firstOffset_);
    rows_.int8(lastOffset_);
    rows_.int8(firstRecordNo_);
    rows_.int4(static_cast<int32_t>(count_));
    rows_.timestampMicros(firstSeconds_ * 1000000);
    rows_.timestampMicros(lastSeconds_ * 1000000);
    rows_.int2(static_cast<int16_t>(type_));
    // A record every so many seconds, the most common case, needs no times but the first and last.
    bool regular = count_ > 1;
    for (size_t i = 0; regular && i < count_; ++i)
        regular = seconds_[i] == seconds_[0] + static_cast<int64_t>(i) * (seconds_[1] - seconds_[0]);
    if (regular) rows_.null();
    else rows_.int2Array(seconds_.data(), seconds_.size());
    bool even = count_ > 1;
    for (size_t i = 0; even && i < count_; ++i) even = offsets_[i] == static_cast<int64_t>(i) * offsets_[1];
    if (even || count_ == 1) rows_.null();
    else rows_.int4Array(offsets_.data(), offsets_.size());
    const bool anyNote = std::find(noted_.begin(), noted_.end(), 1) != noted_.end();
    if (anyNote) rows_.textArray(notes_, noted_.data());
    else rows_.null();
    if (std::find(placed_.begin(), placed_.end(), 1) != placed_.end()) {
        rows_.float8Array(lat_.data(), lat_.size(), placed_.data());
        rows_.float8Array(lon_.data(), lon_.size(), placed_.data());
    } else {
        rows_.null();
        rows_.null();
    }
    writeChannels();
    writeSweeps();
    if (withPushedAt_) rows_.timestampMicros(pushedAt_);
    made_.push_back({firstOffset_, firstRecordNo_, hour_, count_});
    ++packs_;
    count_ = 0;
    for (auto* v : {&seconds_, &keys_, &levels_}) v->clear();
    offsets_.clear();
    peakHz_.clear();
    peakDbm_.clear();
    points_.clear();
    notes_.clear();
    lat_.clear();
    lon_.clear();
    for (auto* v : {&noted_, &placed_, &peaked_}) v->clear();
    dictionary_.clear();
}

std::string_view PackBuilder::data() {
    flush();
    return rows_.data();
}

std::vector<PackBuilder::Made> PackBuilder::made() const {
    std::vector<Made> all = made_;
    if (count_) all.push_back({firstOffset_, firstRecordNo_, hour_, count_});
    return all;
}

}  // namespace zarn
