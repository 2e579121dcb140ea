#include "outputs/live/live_metrics.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <numeric>
#include <utility>

#include "survey/band_name.h"
#include "survey/csv_rows.h"
#include "survey/json_writer.h"
#include "survey/log_time.h"
#include "zarn_version.h"

namespace zarn {
namespace {

using Labels = std::initializer_list<std::pair<const char*, std::string>>;

// A label value: backslash, quote and line end escaped.
void appendLabelValue(std::string& out, const std::string& value) {
    for (const char c : value) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '\n') out += "\\n";
        else out += c;
    }
}

// Families and their samples; a family's HELP and TYPE come with its first sample.
class Exposition {
public:
    explicit Exposition(std::string& out) : out_(out) {}

    Exposition& family(const char* name, const char* type, const char* help) {
        name_ = name;
        type_ = type;
        help_ = help;
        announced_ = false;
        return *this;
    }
    Exposition& sample(const std::string& value, Labels labels = {}) {
        if (!announced_) {
            out_.append("# HELP ").append(name_).append(" ").append(help_).append("\n");
            out_.append("# TYPE ").append(name_).append(" ").append(type_).append("\n");
            announced_ = true;
        }
        out_.append(name_);
        if (labels.size() > 0) {
            out_ += '{';
            bool first = true;
            for (const auto& [label, text] : labels) {
                out_.append(first ? "" : ",").append(label).append("=\"");
                appendLabelValue(out_, text);
                out_ += '"';
                first = false;
            }
            out_ += '}';
        }
        out_.append(" ").append(value).append("\n");
        return *this;
    }
    Exposition& sample(uint64_t value, Labels labels = {}) { return sample(std::to_string(value), labels); }

private:
    std::string& out_;
    const char *name_ = "", *type_ = "", *help_ = "";
    bool announced_ = false;
};

void recorder(Exposition& m, const RecorderStatus& s) {
    m.family("zarn_build_info", "gauge", "The version of the recorder; always 1.")
        .sample("1", {{"version", kZarnVersion}});
    m.family("zarn_recording_age_seconds", "gauge", "Seconds since the log began.")
        .sample(static_cast<uint64_t>(std::max(0LL, s.ageSeconds)));
    m.family("zarn_board_up", "gauge", "1 while the board answers, 0 while it is lost.").sample(s.board.up ? 1u : 0u);
    m.family("zarn_board_lost_total", "counter", "Times the board was lost.").sample(s.board.lost);
    m.family("zarn_frames_decoded_total", "counter", "Frames decoded from the board.").sample(s.board.framesDecoded);
    m.family("zarn_records_written_total", "counter", "Records written to the log, by kind.");
    for (const auto& [kind, count] : s.log.recordsByKind) m.sample(count, {{"kind", kind}});
    m.family("zarn_log_bytes", "gauge", "The log's length in bytes.").sample(s.log.bytes);
    m.family("zarn_gps_fix", "gauge", "1 while gpsd has a fix, else 0.")
        .sample(s.gps.state == GpsPosition::State::Fix ? 1u : 0u);
}

void outputs(Exposition& m, const std::vector<OutputStatus>& outputs) {
    m.family("zarn_output_records_sent_total", "counter", "Records an output took.");
    for (const OutputStatus& o : outputs) m.sample(o.sent, {{"output", o.name}});
    m.family("zarn_output_records_dropped_total", "counter", "Records an output's full queue turned away.");
    for (const OutputStatus& o : outputs) m.sample(o.dropped, {{"output", o.name}});
    m.family("zarn_output_records_queued", "gauge", "Records waiting in an output's queue.");
    for (const OutputStatus& o : outputs) m.sample(o.queued, {{"output", o.name}});
    m.family("zarn_output_failed", "gauge", "1 when an output has failed and takes nothing more.");
    for (const OutputStatus& o : outputs) m.sample(o.failed ? 1u : 0u, {{"output", o.name}});
}

void readings(Exposition& m, const LiveReadings& r) {
    m.family("zarn_level_dbm", "gauge", "The last level of each channel measured, in dBm.");
    for (const auto& l : r.levels) m.sample(l.dbm, {{"band", l.band}, {"channel", l.channel}});
    m.family("zarn_sweep_peak_dbm", "gauge", "The strongest level of the last sweep of a band, in dBm.");
    for (const auto& p : r.peaks) m.sample(p.dbm, {{"band", p.band}});
    m.family("zarn_sweep_peak_mhz", "gauge", "The frequency of the strongest level of the last sweep, in MHz.");
    for (const auto& p : r.peaks) m.sample(p.mhz, {{"band", p.band}});
}

void streams(Exposition& m, const LiveStatus& l) {
    if (l.address.empty()) return;
    m.family("zarn_stream_clients", "gauge", "Clients of the live page's event stream now.").sample(l.clients);
    m.family("zarn_stream_clients_total", "counter", "Clients that joined the event stream.").sample(l.clientsTotal);
    m.family("zarn_stream_clients_dropped_total", "counter", "Stream clients dropped for taking too little.")
        .sample(l.clientsDropped);
}

void alarms(Exposition& m, const std::vector<AlarmState>& alarms) {
    m.family("zarn_alarm_raised", "gauge", "1 while an alarm rule is raised, 0 while it is clear.");
    for (const AlarmState& a : alarms) m.sample(a.raised ? 1u : 0u, {{"alarm", a.name}});
    // A rule starts clear and each change turns it over, so raises lead clears by its state.
    m.family("zarn_alarm_raises_total", "counter", "Times an alarm rule was raised.");
    for (const AlarmState& a : alarms) m.sample((a.changes + 1) / 2, {{"alarm", a.name}});
    m.family("zarn_alarm_clears_total", "counter", "Times an alarm rule was cleared.");
    for (const AlarmState& a : alarms) m.sample(a.changes / 2, {{"alarm", a.name}});
}


// The rows shown one by one: all of a period with few places, else the busiest (the
// lower frequency of equals), so a sweep of a thousand points stays a bounded set of series.
std::vector<const OccupancyRow*> shownPlaces(const OccupancyPeriod& p) {
    std::vector<size_t> order(p.rows.size());
    std::iota(order.begin(), order.end(), size_t{0});
    if (order.size() > kOccupancyPlacesShown) {
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return p.rows[a].occupancy() > p.rows[b].occupancy(); });
        order.resize(kOccupancyPlacesShown);
        std::sort(order.begin(), order.end());
    }
    std::vector<const OccupancyRow*> shown;
    for (const size_t i : order) shown.push_back(&p.rows[i]);
    return shown;
}

void occupancy(Exposition& m, const std::optional<OccupancyPeriod>& p) {
    if (!p) return;
    m.family("zarn_occupancy_period_start_timestamp_seconds", "gauge",
             "When the last occupancy period began, in seconds since 1970 (UTC).")
        .sample(std::to_string(p->start - localZoneOffset(p->start)));
    m.family("zarn_occupancy_period_seconds", "gauge", "The length of an occupancy period in seconds.")
        .sample(static_cast<uint64_t>(std::max(0LL, p->seconds)));
    uint64_t samples[2] = {}, above[2] = {}, places[2] = {};
    std::optional<double> threshold[2];
    for (const OccupancyRow& r : p->rows) {
        const uint8_t band = r.band ? 1 : 0;
        samples[band] += r.samples;
        above[band] += r.above;
        ++places[band];
        threshold[band] = r.thresholdDbm;
    }
    m.family("zarn_occupancy_threshold_dbm", "gauge", "The level a sample had to pass in the last period, in dBm.");
    for (uint8_t band = 0; band < 2; ++band)
        if (threshold[band]) m.sample(numberText(*threshold[band]), {{"band", bandName(band)}});
    m.family("zarn_occupancy_noise_floor_dbm", "gauge",
             "The band's noise floor in the last period (10th percentile), in dBm.");
    for (uint8_t band = 0; band < 2; ++band) {
        if (!p->noiseFloor[band]) continue;
        std::string dbm;
        appendDbm(dbm, static_cast<int16_t>(*p->noiseFloor[band]));
        m.sample(dbm, {{"band", bandName(band)}});
    }
    m.family("zarn_occupancy_places", "gauge", "Places (channels or sweep points) measured in the last period.");
    for (uint8_t band = 0; band < 2; ++band)
        if (places[band]) m.sample(places[band], {{"band", bandName(band)}});
    m.family("zarn_occupancy_band_ratio", "gauge", "The share of the band's samples above the threshold, 0 to 1.");
    for (uint8_t band = 0; band < 2; ++band) {
        if (!samples[band]) continue;
        OccupancyRow whole;
        whole.samples = samples[band];
        whole.above = above[band];
        m.sample(occupancyText(whole), {{"band", bandName(band)}});
    }
    m.family("zarn_occupancy_ratio", "gauge",
             "The share of a place's samples above the threshold in the last period, 0 to 1.");
    for (const OccupancyRow* r : shownPlaces(*p)) {
        std::string channel, mhz;
        appendChannel(channel, r->channel);
        appendFrequency(mhz, r->hz);
        m.sample(occupancyText(*r), {{"band", bandName(r->band)}, {"channel", channel}, {"mhz", mhz}});
    }
}

void archive(Exposition& m, const std::optional<ArchiveStatus>& a) {
    if (!a) return;
    m.family("zarn_archive_up", "gauge", "1 when the last push reached the archive's database, else 0.")
        .sample(a->up ? 1u : 0u);
    m.family("zarn_archive_records_stored", "gauge", "The log's records stored in the archive.").sample(a->stored);
    m.family("zarn_archive_records_behind", "gauge", "The log's records not yet in the archive.").sample(a->behind);
}

}  // namespace

std::string renderMetrics(const RecorderStatus& status, const LiveReadings& r) {
    std::string out;
    Exposition m(out);
    recorder(m, status);
    outputs(m, status.outputs);
    readings(m, r);
    streams(m, status.live);
    alarms(m, status.alarms);
    occupancy(m, status.occupancy);
    archive(m, status.archive);
    return out;
}

}  // namespace zarn
