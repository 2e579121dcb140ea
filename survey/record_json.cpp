#include "survey/record_json.h"

#include "survey/band_name.h"
#include "survey/csv_rows.h"
#include "survey/json_writer.h"
#include "survey/log_text.h"

namespace zarn {
namespace {

void band(JsonWriter& j, uint8_t index) {
    j.key("band");
    if (index > 1) j.null();
    else j.text(bandName(index));
}

void channel(JsonWriter& j, uint32_t number) {
    std::string& out = j.key("channel").rawValue();
    if (!appendChannel(out, number)) out += "null";
}

void megahertz(JsonWriter& j, const char* name, uint32_t hz) {
    std::string& out = j.key(name).rawValue();
    if (!appendFrequency(out, hz)) out += "null";
}

void dbm(JsonWriter& j, int16_t sixteenths) {
    std::string& out = j.key("dbm").rawValue();
    if (!appendReadingDbm(out, sixteenths)) out += "null";
}

void singleValues(JsonWriter& j, const LogPlans& plans, const LogRecord& r) {
    SingleChannelReading reading;
    if (!decodeSingleChannel(plans, r, reading)) return;
    for (uint8_t b = 0; b < 2; ++b) {
        const TunedReading& t = reading.band[b];
        j.beginObject();
        band(j, b);
        channel(j, t.channel);
        megahertz(j, "mhz", t.hz);
        dbm(j, t.level);
        j.endObject();
    }
}

void tableValues(JsonWriter& j, const LogPlans& plans, const LogRecord& r, std::vector<TableReading>& slots) {
    decodeTable(plans, r, slots);
    for (const TableReading& s : slots) {
        j.beginObject().key("slot").number(static_cast<long long>(s.slot));
        band(j, s.band);
        j.key("channel").number(static_cast<long long>(s.channel));
        megahertz(j, "mhz", s.hz);
        dbm(j, s.level);
        j.endObject();
    }
}

void serverValues(JsonWriter& j, const LogPlans& plans, const LogRecord& r, std::vector<ServerRank>& ranks) {
    uint8_t index = 0;
    decodeBestServers(plans, r, index, ranks);
    for (const ServerRank& s : ranks) {
        j.beginObject().key("rank").number(static_cast<long long>(s.rank));
        band(j, index);
        channel(j, s.channel);
        megahertz(j, "mhz", s.hz);
        j.key("dbm").number(static_cast<long long>(s.level));
        j.endObject();
    }
}

void sweep(JsonWriter& j, const LogPlans& plans, const LogRecord& r, Sweep& s) {
    j.key("sweep");
    if (!decodeSweep(plans, r, s)) {
        j.null();
        return;
    }
    j.beginObject();
    band(j, s.band);
    appendMegahertz(j.key("first_mhz").rawValue(), s.firstHz);
    appendMegahertz(j.key("step_mhz").rawValue(), s.stepHz);
    j.key("dbm").beginArray();
    for (const SweepPoint& p : s.points) {
        if (p.measured()) appendDbm(j.rawValue(), p.level);
        else j.null();
    }
    j.endArray().endObject();
}

}  // namespace

void RecordJson::append(const LogRecord& r, std::string& out) {
    JsonWriter j(out);
    const CsvKind kind = csvKindOf(r.type);
    j.beginObject();
    j.key("time").text(isoTime(r.time));
    j.key("offset").number(static_cast<long long>(r.offset));
    j.key("note");
    if (r.note.empty()) j.null();
    else j.text(noteUtf8(r.note));
    j.key("kind").text(csvSuffix(kind));
    j.key("type").number(static_cast<long long>(r.type));
    switch (kind) {
    case CsvKind::Spectrum: sweep(j, plans_, r, sweep_); break;
    case CsvKind::Frames: {
        std::string& hex = j.key("payload").rawValue();
        hex += '"';
        appendHex(hex, r.payload, r.length);
        hex += '"';
        break;
    }
    default:
        j.key("values").beginArray();
        if (kind == CsvKind::SingleChannel) singleValues(j, plans_, r);
        else if (kind == CsvKind::ChannelTable) tableValues(j, plans_, r, slots_);
        else serverValues(j, plans_, r, ranks_);
        j.endArray();
    }
    j.endObject();
}

}  // namespace zarn
