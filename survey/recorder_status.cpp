#include "survey/recorder_status.h"

#include "recording/log_units.h"
#include "survey/band_name.h"
#include "survey/csv_rows.h"
#include "survey/json_writer.h"
#include "survey/log_text.h"

namespace zarn {
namespace {


const BandPlan& planOf(const BoardState& b, uint8_t band) { return band == 0 ? b.cellularPlan : b.pcsPlan; }

// As the records number it: a PCS channel by the raster's public numbers, not the
// plan's 10 kHz steps.
uint32_t tunedChannel(const BandPlan& plan, uint8_t band) {
    if (band == 0) return plan.tunedChannel();
    if (plan.pcsRaster() == 0) return kUnknownChannel;
    return plan.offsetToPcsChannel(plan.frequencyToOffset(plan.tunedFrequency()));
}

uint32_t tableSlotHz(const BoardState& b, const ChannelSlot& s) {
    return s.band == 0 ? b.cellularPlan.channelToFrequency(s.channel) : b.pcsPlan.pcsChannelToFrequency(s.channel);
}

void megahertz(JsonWriter& j, const char* name, uint32_t hz) {
    std::string& out = j.key(name).rawValue();
    if (!appendFrequency(out, hz)) out += "null";
}

void optionalNumber(JsonWriter& j, const char* name, const std::optional<double>& value) {
    j.key(name);
    if (value) j.number(*value);
    else j.null();
}

void textOrNull(JsonWriter& j, const char* name, const std::string& text) {
    j.key(name);
    if (text.empty()) j.null();
    else j.text(text);
}

// A table file's text: UTF-8 when it is valid UTF-8, else the device's one byte a character.
std::string tableText(const std::string& text) { return validUtf8(text) == text ? text : noteUtf8(text); }

void measurement(JsonWriter& j, const MeasurementStatus& m) {
    j.key("measurement").beginObject();
    j.key("kind").text(m.kind);
    j.key("band");
    if (m.band) j.text(bandName(*m.band));
    else j.null();
    megahertz(j, "first_mhz", m.firstHz);
    megahertz(j, "last_mhz", m.lastHz);
    textOrNull(j, "title", tableText(m.title));
    j.key("channels").beginArray();
    for (const MeasuredChannel& c : m.channels) {
        j.beginObject().key("band").text(bandName(c.band));
        std::string& channel = j.key("channel").rawValue();
        if (!appendChannel(channel, c.channel)) channel += "null";
        megahertz(j, "mhz", c.hz);
        textOrNull(j, "name", tableText(c.name));
        j.endObject();
    }
    j.endArray().endObject();
}

void board(JsonWriter& j, const BoardStatus& b) {
    j.key("board").beginObject();
    j.key("up").boolean(b.up);
    j.key("port").text(b.port);
    j.key("firmware").text(b.firmware);
    j.key("serial_number").text(b.serialNumber);
    j.key("lost").number(static_cast<long long>(b.lost));
    j.key("frames_decoded").number(static_cast<long long>(b.framesDecoded));
    j.endObject();
}

void gps(JsonWriter& j, const GpsPosition& g) {
    j.key("gps").beginObject();
    j.key("state").text(gpsStateName(g.state));
    optionalNumber(j, "lat", g.lat);
    optionalNumber(j, "lon", g.lon);
    optionalNumber(j, "altitude_m", g.altitude);
    j.endObject();
}

void logFile(JsonWriter& j, const LogStatus& l) {
    j.key("log").beginObject();
    j.key("path").text(l.path);
    j.key("bytes").number(static_cast<long long>(l.bytes));
    j.key("records").number(static_cast<long long>(l.records));
    j.key("records_by_kind").beginObject();
    for (const auto& [kind, count] : l.recordsByKind) j.key(kind).number(static_cast<long long>(count));
    j.endObject().endObject();
}

void outputs(JsonWriter& j, const std::vector<OutputStatus>& outputs) {
    j.key("outputs").beginArray();
    for (const OutputStatus& o : outputs) {
        j.beginObject().key("name").text(o.name);
        j.key("sent").number(static_cast<long long>(o.sent));
        j.key("dropped").number(static_cast<long long>(o.dropped));
        j.key("queued").number(static_cast<long long>(o.queued));
        j.key("failed").boolean(o.failed);
        textOrNull(j, "error", o.error);
        j.key("connected");
        if (o.connected) j.boolean(*o.connected);
        else j.null();
        j.endObject();
    }
    j.endArray();
}

void live(JsonWriter& j, const LiveStatus& l) {
    j.key("live");
    if (l.address.empty()) {
        j.null();
        return;
    }
    j.beginObject().key("address").text(l.address);
    j.key("clients").number(static_cast<long long>(l.clients));
    j.key("clients_total").number(static_cast<long long>(l.clientsTotal));
    j.key("clients_dropped").number(static_cast<long long>(l.clientsDropped));
    j.endObject();
}

void archive(JsonWriter& j, const std::optional<ArchiveStatus>& a) {
    j.key("archive");
    if (!a) {
        j.null();
        return;
    }
    j.beginObject().key("up").boolean(a->up);
    j.key("stored").number(static_cast<long long>(a->stored));
    j.key("behind").number(static_cast<long long>(a->behind));
    textOrNull(j, "error", a->error);
    j.endObject();
}

}  // namespace

void LogStatus::count(uint8_t type, uint64_t logBytes) {
    ++records;
    ++recordsByKind[csvSuffix(csvKindOf(type))];
    bytes = logBytes;
}

MeasurementStatus measurementOf(const BoardState& b) {
    MeasurementStatus m;
    switch (b.screenMode) {
    case kModeSingleChannel:
        for (uint8_t band = 0; band < 2; ++band) {
            if (b.singleChannelMode != 2 && b.singleChannelBand != band) continue;
            const BandPlan& plan = planOf(b, band);
            m.channels.push_back({band, tunedChannel(plan, band), plan.tunedFrequency(), {}});
        }
        break;
    case kModeChannelTable:
        for (int k = 0; k < b.channelTableCount && k < kChannelSlots; ++k) {
            const ChannelSlot& s = b.channelTable[k];
            m.channels.push_back({s.band, s.channel, tableSlotHz(b, s), b.channelTableNames[k]});
        }
        m.title = b.channelTableTitle;
        break;
    case kModeSpectrum:
    case kModeBestServers: {
        if (b.bandIndex > 1) break;
        const BandPlan& plan = planOf(b, b.bandIndex);
        m.band = b.bandIndex;
        m.firstHz = plan.offsetToFrequency(b.sweepStart);
        m.lastHz = plan.offsetToFrequency(b.sweepStart + (b.sweepCount ? b.sweepCount - 1u : 0u) * b.sweepStep);
        break;
    }
    default: return m;
    }
    m.kind = csvSuffix(csvKindOf(b.screenMode));
    return m;
}

void appendStatusJson(const RecorderStatus& s, std::string& out) {
    JsonWriter j(out);
    j.beginObject();
    j.key("started").text(s.started);
    j.key("age_s").number(s.ageSeconds);
    measurement(j, s.measurement);
    board(j, s.board);
    gps(j, s.gps);
    logFile(j, s.log);
    outputs(j, s.outputs);
    live(j, s.live);
    j.key("version").text(s.version);
    j.key("alarms").beginArray();
    for (const AlarmState& a : s.alarms) appendAlarmJson(a, j.rawValue());
    j.endArray();
    j.key("occupancy");
    if (s.occupancy) appendOccupancyJson(*s.occupancy, j.rawValue(), false);
    else j.null();
    archive(j, s.archive);
    j.endObject();
}

const char* gpsStateName(GpsPosition::State s) {
    switch (s) {
    case GpsPosition::State::Off: return "off";
    case GpsPosition::State::Unreachable: return "unreachable";
    case GpsPosition::State::NoFix: return "no fix";
    case GpsPosition::State::Fix: return "fix";
    }
    return "off";
}

}  // namespace zarn
