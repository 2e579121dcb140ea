#include "outputs/live/live_metrics.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <utility>

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

}  // namespace

std::string renderMetrics(const RecorderStatus& status, const LiveReadings& r) {
    std::string out;
    Exposition m(out);
    recorder(m, status);
    outputs(m, status.outputs);
    readings(m, r);
    streams(m, status.live);
    return out;
}

}  // namespace zarn
