#include "tools/zarnlog/log_plot.h"

#include <memory>

#include "tools/zarnlog/plot_lines.h"
#include "tools/zarnlog/plot_waterfall.h"

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
    Waterfall bands[2] = {Waterfall(0), Waterfall(1)};
    LinePanel single, table;

    Sweep sweep;
    SingleChannelReading reading;
    std::vector<TableReading> slots;
    std::vector<double> dbm;
    std::vector<std::string> names;

    enum class Kind { None, Sweep, Single, Table };
    // Decodes a record for its panel: the sweep, or the levels (and series names) of a line.
    Kind decode(const LogPlans& plans, const LogRecord& r) {
        dbm.clear();
        names.clear();
        if (decodeSweep(plans, r, sweep)) return Kind::Sweep;
        if (decodeSingleChannel(plans, r, reading)) {
            names = {channelName("800", reading.band[0].channel, reading.band[0].hz),
                     channelName("1900", reading.band[1].channel, reading.band[1].hz)};
            for (const TunedReading& t : reading.band) dbm.push_back(dbmOfLevel(t.level));
            return Kind::Single;
        }
        if (decodeTable(plans, r, slots)) {
            for (const TableReading& t : slots) {
                dbm.push_back(dbmOfLevel(t.level));
                names.push_back(channelName(t.band == 0 ? "800" : "1900", t.channel, t.hz));
            }
            return Kind::Table;
        }
        return Kind::None;
    }

    void scan(const LogPlans& plans, const LogRecord& r) {
        switch (decode(plans, r)) {
        case Kind::Sweep: bands[sweep.band].scan(sweep, r); break;
        case Kind::Single: single.scan(dbm, names, r.time); break;
        case Kind::Table: table.scan(dbm, names, r.time); break;
        case Kind::None: break;
        }
    }

    void draw(CDC& dc, const LogPlans& plans, const LogRecord& r) {
        switch (decode(plans, r)) {
        case Kind::Sweep: bands[sweep.band].fold(dc, sweep, r); break;
        case Kind::Single: single.trace(dc, dbm, r); break;
        case Kind::Table: table.trace(dc, dbm, r); break;
        case Kind::None: break;
        }
    }

    int height() const {
        int height = kTitleHeight;
        for (const Waterfall& b : bands)
            if (!b.empty()) height += b.height();
        if (!single.empty()) height += single.height();
        if (!table.empty()) height += table.height();
        return height;
    }
};

}  // namespace

bool plotLog(LogReader& reader, const LogHeader& header, const std::string& title, Surface& image,
             const DamageSink& damaged) {
    image = Surface();
    const LogPlans plans(header.pcsRaster);
    auto panels = std::make_unique<Panels>();
    if (!forEachRecord(reader, [&](const LogRecord& r) { return panels->scan(plans, r), true; }, damaged)) return false;
    const int height = panels->height();
    if (height == kTitleHeight) return false;

    Surface picture(kWidth, height, rgbToPixel(RGB(255, 255, 255)));
    CDC dc(picture);
    CFont font;
    font.CreatePointFont(80, "System");
    CFont* oldFont = dc.SelectObject(&font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(kInk);
    for (Waterfall& b : panels->bands) b.beginFolding(plans);
    panels->single.beginTracing();
    panels->table.beginTracing();
    if (!forEachRecord(reader, [&](const LogRecord& r) { return panels->draw(dc, plans, r), true; })) return false;

    const std::string raster = header.pcsRaster ? std::to_string(header.pcsRaster / 1000) + " kHz" : "unknown";
    text(dc, title + "  (PCS raster " + raster + ")", 8, 5);
    int top = kTitleHeight;
    for (const Waterfall& b : panels->bands)
        if (!b.empty()) top += b.draw(dc, picture, top);
    if (!panels->single.empty()) top += panels->single.draw(dc, top, "Single channel: ");
    if (!panels->table.empty())
        top += panels->table.draw(dc, top, "Channel table: " + std::to_string(panels->table.records()) + " passes, ");
    dc.SelectObject(oldFont);
    image = std::move(picture);
    return true;
}

}  // namespace zarn
