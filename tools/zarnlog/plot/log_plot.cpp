#include "tools/zarnlog/plot/log_plot.h"

#include <cmath>
#include <map>
#include <memory>
#include <utility>

#include "survey/record_levels.h"
#include "tools/zarnlog/map_features.h"
#include "tools/zarnlog/plot/plot_coverage.h"
#include "tools/zarnlog/plot/plot_lines.h"
#include "tools/zarnlog/plot/plot_waterfall.h"

namespace zarn {
namespace {

using namespace plot;

std::string channelName(const char* band, uint32_t channel, uint32_t hz) {
    std::string name = band;
    if (channel != kUnknownChannel) {
        name += " ch ";
        name += std::to_string(channel);
    }
    if (hz) {
        name += ' ';
        name += megahertzLabel(hz / 1e6, 0.01);
    }
    return name;
}

// The panels and what a record gives each of them.
struct Panels {
    explicit Panels(uint32_t pcsRaster) : levels(pcsRaster) {}

    Waterfall bands[2] = {Waterfall(0), Waterfall(1)};
    LinePanel single, table, servers{true};
    std::unique_ptr<CoveragePanel> coverage;
    std::vector<MapFeature> features;

    Sweep sweep;
    SingleChannelReading reading;
    std::vector<TableReading> slots;
    std::vector<double> dbm;
    std::vector<std::string> names;
    // Best servers: a line per channel that was the strongest of some record, by band and Hz.
    RecordLevels levels;
    std::map<std::pair<uint8_t, uint32_t>, size_t> serverLines;

    enum class Kind { None, Sweep, Single, Table, Servers };
    // Decodes a record for its panel: the sweep, or the levels (and series names) of a line.
    // Learning, a best-servers record's strongest channel gets a line, and the levels of
    // channels without one (yet) widen the scale, for the line they may get later.
    Kind decode(const LogPlans& plans, const LogRecord& r, bool learning = false) {
        dbm.clear();
        names.clear();
        if (decodeSweep(plans, r, sweep)) return Kind::Sweep;
        if (decodeSingleChannel(plans, r, reading)) {
            names = {channelName("800", reading.band[0].channel, reading.band[0].hz),
                     channelName("1900", reading.band[1].channel, reading.band[1].hz)};
            for (const TunedReading& t : reading.band) dbm.push_back(t.measured() ? dbmOfLevel(t.level) : NAN);
            return Kind::Single;
        }
        if (decodeTable(plans, r, slots)) {
            for (const TableReading& t : slots) {
                dbm.push_back(t.measured() ? dbmOfLevel(t.level) : NAN);
                names.push_back(channelName(t.band == 0 ? "800" : "1900", t.channel, t.hz));
            }
            return Kind::Table;
        }
        if (r.type == kModeBestServers) {
            std::vector<double> others;
            bool strongest = true;  // ranks come strongest first
            levels.forEach(r, [&](const MeasuredLevel& m) {
                auto line = serverLines.find({m.band, m.hz});
                if (line == serverLines.end() && learning && strongest)
                    line = serverLines.emplace(std::pair{m.band, m.hz}, serverLines.size()).first;
                strongest = false;
                if (line == serverLines.end()) return others.push_back(m.level / 16.0);
                if (dbm.size() <= line->second) dbm.resize(line->second + 1, NAN), names.resize(line->second + 1);
                dbm[line->second] = m.level / 16.0;
                names[line->second] = channelName(m.band == 0 ? "800" : "1900", m.channel, m.hz);
            });
            if (learning) dbm.insert(dbm.end(), others.begin(), others.end());
            return Kind::Servers;
        }
        return Kind::None;
    }

    std::optional<double> level(const LogPlans& plans, const LogRecord& r) {
        mapFeatures(plans, r, features);
        return strongestLevel(features);
    }

    void scan(const LogPlans& plans, const LogRecord& r) {
        if (coverage) coverage->scan(r, level(plans, r));
        switch (decode(plans, r, true)) {
        case Kind::Sweep: bands[sweep.band].scan(sweep, r); break;
        case Kind::Single: single.scan(dbm, names, r.time); break;
        case Kind::Table: table.scan(dbm, names, r.time); break;
        case Kind::Servers: servers.scan(dbm, names, r.time); break;
        case Kind::None: break;
        }
    }

    void draw(CDC& dc, const LogPlans& plans, const LogRecord& r) {
        if (coverage) coverage->mark(r, level(plans, r));
        switch (decode(plans, r)) {
        case Kind::Sweep: bands[sweep.band].fold(dc, sweep, r); break;
        case Kind::Single: single.trace(dc, dbm, r); break;
        case Kind::Table: table.trace(dc, dbm, r); break;
        case Kind::Servers: servers.trace(dc, dbm, r); break;
        case Kind::None: break;
        }
    }

    int height() const {
        int height = kTitleHeight;
        for (const Waterfall& b : bands)
            if (!b.empty()) height += b.height();
        if (!single.empty()) height += single.height();
        if (!table.empty()) height += table.height();
        if (!servers.empty()) height += servers.height();
        if (coverage && !coverage->empty()) height += coverage->height();
        return height;
    }
};

}  // namespace

bool plotLog(LogReader& reader, const LogHeader& header, const std::string& title, Surface& image,
             const DamageSink& damaged, const PlotOptions& options) {
    image = Surface();
    const LogPlans plans(header.pcsRaster);
    auto panels = std::make_unique<Panels>(header.pcsRaster);
    if (options.track) panels->coverage = std::make_unique<CoveragePanel>(*options.track, options.trackName);
    const auto each = [&](auto visit) {
        return [&, visit](const LogRecord& r) {
            if (options.window.contains(r.time)) visit(r);
            return true;
        };
    };
    if (!forEachRecord(reader, each([&](const LogRecord& r) { panels->scan(plans, r); }), damaged)) return false;
    if (panels->coverage) {
        if (options.placing) *options.placing = panels->coverage->counts();
        panels->coverage->fit();
    }
    if (options.scale) {
        const Range scale{options.scale->lo, options.scale->hi};
        for (Waterfall& b : panels->bands) b.setScale(scale);
        if (panels->coverage) panels->coverage->setScale(scale);
    }
    const int height = panels->height();
    if (height == kTitleHeight) return false;

    Canvas canvas(height);
    CDC& dc = canvas.dc;
    Surface& picture = canvas.picture;
    for (Waterfall& b : panels->bands) b.beginFolding(plans);
    panels->single.beginTracing();
    panels->table.beginTracing();
    panels->servers.beginTracing();
    if (!forEachRecord(reader, each([&](const LogRecord& r) { panels->draw(dc, plans, r); }))) return false;

    const std::string raster = header.pcsRaster ? std::to_string(header.pcsRaster / 1000) + " kHz" : "unknown";
    text(dc, title + "  (PCS raster " + raster + ")", 8, 5);
    int top = kTitleHeight;
    for (const Waterfall& b : panels->bands)
        if (!b.empty()) top += b.draw(dc, picture, top);
    if (!panels->single.empty()) top += panels->single.draw(dc, top, "Single channel: ");
    if (!panels->table.empty())
        top += panels->table.draw(dc, top, "Channel table: " + std::to_string(panels->table.records()) + " passes, ");
    if (!panels->servers.empty())
        top += panels->servers.draw(dc, top, "Best servers, a line per channel once the strongest: " +
                                                 std::to_string(panels->servers.records()) + " records, ");
    if (panels->coverage && !panels->coverage->empty()) top += panels->coverage->draw(dc, picture, top);
    image = canvas.take();
    return true;
}

}  // namespace zarn
