#include "tools/zarnlog/map_features.h"

#include <algorithm>
#include <cmath>

#include "board/board_state.h"
#include "survey/log_text.h"

namespace zarn {
namespace {

FieldValue channelValue(uint32_t channel) {
    return channel == kUnknownChannel ? FieldValue{} : FieldValue{static_cast<long long>(channel)};
}

FieldValue megahertzValue(uint32_t hz) { return hz ? FieldValue{hz / 1e6} : FieldValue{}; }

// A level the board never reported is a null field.
FieldValue dbmValue(int16_t level) { return level == kEmptyLevel ? FieldValue{} : FieldValue{dbmOfLevel(level)}; }

std::vector<FieldSpec> withLead(std::vector<FieldSpec> rest) {
    std::vector<FieldSpec> fields{{"time", FieldType::Text}, {"note", FieldType::Text}};
    fields.insert(fields.end(), rest.begin(), rest.end());
    return fields;
}

std::vector<FieldSpec> serverFields() {
    std::vector<FieldSpec> rest{{"band", FieldType::Integer},
                                {"channel", FieldType::Integer},
                                {"mhz", FieldType::Real},
                                {"dbm", FieldType::Integer}};
    for (int rank = 2; rank <= 10; ++rank) {
        const std::string r = "rank" + std::to_string(rank) + "_";
        rest.push_back({r + "channel", FieldType::Integer});
        rest.push_back({r + "mhz", FieldType::Real});
        rest.push_back({r + "dbm", FieldType::Integer});
    }
    return withLead(rest);
}

MapFeature begin(MapLayer layer, const LogRecord& r) {
    MapFeature f;
    f.layer = layer;
    f.values = {isoTime(r.time), noteUtf8(r.note)};
    return f;
}

void addSingle(const LogPlans& plans, const LogRecord& r, std::vector<MapFeature>& out) {
    SingleChannelReading reading;
    if (!decodeSingleChannel(plans, r, reading)) return;
    MapFeature f = begin(MapLayer::Single, r);
    for (const TunedReading& t : reading.band) {
        f.values.insert(f.values.end(), {channelValue(t.channel), megahertzValue(t.hz), dbmValue(t.level)});
        if (t.measured()) f.dbm = std::max(f.dbm.value_or(-INFINITY), dbmOfLevel(t.level));
    }
    out.push_back(std::move(f));
}

void addTable(const LogPlans& plans, const LogRecord& r, std::vector<MapFeature>& out) {
    std::vector<TableReading> slots;
    decodeTable(plans, r, slots);
    for (const TableReading& s : slots) {
        MapFeature f = begin(MapLayer::Table, r);
        f.values.insert(f.values.end(), {static_cast<long long>(s.slot), static_cast<long long>(s.band),
                                         static_cast<long long>(s.channel), megahertzValue(s.hz), dbmValue(s.level)});
        if (s.measured()) f.dbm = dbmOfLevel(s.level);
        out.push_back(std::move(f));
    }
}

void addServers(const LogPlans& plans, const LogRecord& r, std::vector<MapFeature>& out) {
    uint8_t band = 0;
    std::vector<ServerRank> ranks;
    if (!decodeBestServers(plans, r, band, ranks)) return;
    MapFeature f = begin(MapLayer::Servers, r);
    f.values.emplace_back(std::in_place_type<long long>, band);
    for (const ServerRank& s : ranks)
        f.values.insert(f.values.end(), {channelValue(s.channel), megahertzValue(s.hz), static_cast<long long>(s.level)});
    f.dbm = ranks.front().level;
    out.push_back(std::move(f));
}

void addSpectrum(const LogPlans& plans, const LogRecord& r, std::vector<MapFeature>& out) {
    Sweep sweep;
    if (!decodeSweep(plans, r, sweep)) return;
    const SweepPoint* peak = nullptr;
    double sum = 0;
    size_t measured = 0;
    for (const SweepPoint& p : sweep.points) {
        if (!p.measured()) continue;
        if (!peak || p.level > peak->level) peak = &p;
        sum += dbmOfLevel(p.level);
        ++measured;
    }
    MapFeature f = begin(MapLayer::Spectrum, r);
    f.values.emplace_back(std::in_place_type<long long>, sweep.band);
    if (peak) {
        f.values.insert(f.values.end(), {peak->hz / 1e6, dbmOfLevel(peak->level), sum / static_cast<double>(measured)});
        f.dbm = dbmOfLevel(peak->level);
    } else {
        f.values.resize(f.values.size() + 3);
    }
    out.push_back(std::move(f));
}

}  // namespace

const char* mapLayerName(MapLayer layer) {
    switch (layer) {
    case MapLayer::Single: return "single";
    case MapLayer::Table: return "table";
    case MapLayer::Servers: return "servers";
    case MapLayer::Spectrum: return "spectrum";
    case MapLayer::Notes: return "notes";
    case MapLayer::Cells: return "cells";
    case MapLayer::Transmitter: return "transmitter";
    case MapLayer::Readings: return "readings";
    }
    return "other";
}

const std::vector<FieldSpec>& mapFields(MapLayer layer) {
    using enum FieldType;
    static const std::array<std::vector<FieldSpec>, kMapLayers> fields = {
        withLead({{"cellular_channel", Integer},
                  {"cellular_mhz", Real},
                  {"cellular_dbm", Real},
                  {"pcs_channel", Integer},
                  {"pcs_mhz", Real},
                  {"pcs_dbm", Real}}),
        withLead({{"slot", Integer}, {"band", Integer}, {"channel", Integer}, {"mhz", Real}, {"dbm", Real}}),
        serverFields(),
        withLead({{"band", Integer}, {"peak_mhz", Real}, {"peak_dbm", Real}, {"mean_dbm", Real}}),
        withLead({{"record_type", Integer}}),
        {{"column", Integer}, {"row", Integer}, {"samples", Integer}, {"surveys", Integer}, {"mean_dbm", Real, 2},
         {"median_dbm", Real}, {"p10_dbm", Real}, {"p90_dbm", Real}, {"min_dbm", Real}, {"max_dbm", Real},
         {"few_samples", Integer}},
        {{"kind", Text}, {"mhz", Real}, {"method", Text}, {"lat", Real}, {"lon", Real}, {"major_m", Real},
         {"minor_m", Real}, {"bearing_deg", Real}, {"n", Real}, {"p0_dbm", Real}, {"sigma_db", Real},
         {"samples", Integer}, {"km", Real}, {"warnings", Text}},
        {{"mhz", Real}, {"dbm", Real}, {"model_dbm", Real}, {"residual_db", Real}, {"censored", Integer}},
    };
    return fields[static_cast<size_t>(layer)];
}

void mapFeatures(const LogPlans& plans, const LogRecord& r, std::vector<MapFeature>& out) {
    out.clear();
    switch (r.type) {
    case kModeSingleChannel: addSingle(plans, r, out); break;
    case kModeChannelTable: addTable(plans, r, out); break;
    case kModeBestServers: addServers(plans, r, out); break;
    case kModeSpectrum: addSpectrum(plans, r, out); break;
    default: break;
    }
    if (r.note.empty()) return;
    MapFeature note = begin(MapLayer::Notes, r);
    note.values.emplace_back(std::in_place_type<long long>, r.type);
    out.push_back(std::move(note));
}

std::optional<double> strongestLevel(const std::vector<MapFeature>& features) {
    std::optional<double> strongest;
    for (const MapFeature& f : features)
        if (f.dbm && (!strongest || *f.dbm > *strongest)) strongest = f.dbm;
    return strongest;
}

}  // namespace zarn
