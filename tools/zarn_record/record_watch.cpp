#include "tools/zarn_record/record_watch.h"

#include <charconv>
#include <cstdio>

#include "survey/csv_rows.h"
#include "survey/json_writer.h"
#include "survey/log_text.h"
#include "survey/log_time.h"

namespace zarn {
namespace {

std::string percent(double share) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f %%", share * 100);
    return text;
}

}  // namespace

RecordWatch::RecordWatch(const RecordOptions& o) : alarms_(o.alarms, o.pcsRaster) {
    if (o.occupancy) occupancy_.emplace(o.pcsRaster, o.threshold, o.periodSeconds);
}

WatchChanges RecordWatch::take(const LogRecord& r, double seconds) {
    WatchChanges changes;
    changes.alarms = alarms_.take(r, seconds);
    OccupancyPeriod ended;
    if (occupancy_ && occupancy_->take(r, ended)) changes.period = last_ = std::move(ended);
    return changes;
}

std::optional<OccupancyPeriod> RecordWatch::finish() {
    OccupancyPeriod ended;
    if (!occupancy_ || !occupancy_->finish(ended)) return std::nullopt;
    return last_ = std::move(ended);
}

std::string RecordWatch::note(const AlarmChange& change) const {
    return "ALARM " + rules()[change.rule].name + (change.raised ? " ON" : " OFF");
}

std::string RecordWatch::alarmLine(const AlarmChange& change) const {
    const AlarmRule& rule = rules()[change.rule];
    const AlarmState& state = alarms()[change.rule];
    std::string at;
    appendMegahertz(at, state.hz);
    at += " MHz at ";
    if (state.level) appendDbm(at, static_cast<int16_t>(*state.level));
    // Raised, a `>` rule's level has been above its threshold; cleared, below it less the hysteresis.
    const bool above = rule.above == change.raised;
    const double bound = change.raised ? rule.dbm : rule.above ? rule.dbm - rule.hysteresisDb : rule.dbm + rule.hysteresisDb;
    return note(change) + ": " + at + " dBm, " + (above ? "above " : "below ") + numberText(bound) + " dBm for " +
           numberText(rule.seconds) + " s (" + state.time + ")";
}

std::string RecordWatch::periodLine(const OccupancyPeriod& p) {
    std::string floors;
    for (uint8_t band = 0; band < 2; ++band) {
        if (!p.noiseFloor[band]) continue;
        floors += floors.empty() ? " (floor " : ", ";
        floors += band == 0 ? "800 " : "1900 ";
        appendDbm(floors, static_cast<int16_t>(*p.noiseFloor[band]));
        floors += " dBm";
    }
    if (!floors.empty()) floors += ")";
    size_t busy = 0;
    for (const OccupancyRow& r : p.rows) busy += r.occupancy() > 0.5;
    std::string line = "occupancy " + isoTime(stampTime(p.start)) + " for " + periodText(p.seconds) + ", threshold " +
                       p.threshold.text() + floors + ": " + std::to_string(p.rows.size()) + " places";
    if (const OccupancyRow* b = p.busiest()) {
        std::string where;
        appendMegahertz(where, b->hz);
        line += ", busiest " + where + " MHz " + percent(b->occupancy()) + ", " + std::to_string(busy) + " over 50 %";
    }
    return line;
}

}  // namespace zarn
