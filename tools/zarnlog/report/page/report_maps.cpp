#include "tools/zarnlog/report/page/report_maps.h"

#include <algorithm>
#include <cmath>

#include "tools/zarnlog/plot_scale.h"
#include "tools/zarnlog/report/page/report_format.h"
#include "tools/zarnlog/report/page/svg_writer.h"

namespace zarn::report {
namespace {

using svg::SvgWriter;

// A map and its caption fit a page of A4 with 14 mm margins (186 x 269 mm, 703 x 1017 CSS pixels).
constexpr double kMostWidth = 700, kMostHeight = 760, kFoot = 30;

// Drawn at its own size, never wider: a tall map fits its page.
std::string naturalSize(const MapFrame& frame) {
    return "style=\"width:" + svg::number(frame.width()) + "px\"";
}

int mapNumber = 0;  // for ids unique in the page

// 1, 2, 3, 4 or more channels within 5 dB of the strongest: from one clear server to none.
constexpr uint32_t kDominanceColours[] = {0x1a9850, 0xa6d96a, 0xfdae61, 0xd73027};

void scaleBar(SvgWriter& svg, const MapFrame& frame) {
    const double most = frame.width() / 4 / frame.pixelsPerMetre();
    double metres = std::pow(10.0, std::floor(std::log10(std::max(most, 1.0))));
    for (double f : {5.0, 2.0})
        if (metres * f <= most) {
            metres *= f;
            break;
        }
    const double x = 10, y = frame.height() + kFoot - 12, length = metres * frame.pixelsPerMetre();
    svg.path("M" + svg::number(x) + " " + svg::number(y - 5) + "v5h" + svg::number(length) + "v-5", "class=\"scale\"");
    svg.text(x + length + 5, y, metresText(metres));
}

void northArrow(SvgWriter& svg, const MapFrame& frame) {
    const CellGrid& grid = frame.grid().grid;
    const LatLon centre = frame.grid().centre;
    double turn = 0;  // degrees from the grid's north to true north, clockwise
    const auto here = grid.metres(centre), north = grid.metres({centre.lat + 0.01, centre.lon});
    if (here && north) turn = std::atan2(north->first - here->first, north->second - here->second) * 180 / M_PI;
    const double x = frame.width() - 18, y = frame.height() + kFoot - 16;
    svg.beginGroup("transform=\"translate(" + svg::number(x) + " " + svg::number(y) + ") rotate(" +
                   svg::number(turn) + ")\" class=\"north\"");
    svg.path("M0 -12L5 4L0 1L-5 4Z", "");
    svg.text(0, 15, "N", "middle");
    svg.endGroup();
}

// In the ink that reads on the cell's colour, edged in that colour so that a
// hatch does not cross it; a style, as the page's rule for text would win over
// a fill attribute.
void cellText(SvgWriter& svg, const MapFrame& frame, const CellIndex& c, size_t count, uint32_t fill) {
    if (frame.side() < 18) return;
    const double size = std::min(11.0, frame.side() / 2.2);
    svg.text(frame.x(c) + frame.side() / 2, frame.y(c) + frame.side() / 2 + size / 3, std::to_string(count), "middle",
             "font-size=\"" + svg::number(size) + "\" style=\"fill:" + svg::inkOn(fill) + ";stroke:" +
                 svg::colour(fill) + ";stroke-width:2px;paint-order:stroke\"");
}

// The region's outline, and a cross on the estimate.
void sourceMark(SvgWriter& svg, const MapFrame& frame, const SourceMark& mark) {
    std::string outline;
    for (const Place& p : mark.region)
        if (const auto xy = frame.point(p))
            outline += (outline.empty() ? "M" : "L") + svg::number(xy->first) + " " + svg::number(xy->second);
    if (!outline.empty()) svg.path(outline + "Z", "class=\"region\"");
    if (const auto xy = frame.point(mark.place))
        svg.path("M" + svg::number(xy->first - 7) + " " + svg::number(xy->second) + "h14M" + svg::number(xy->first) + " " +
                     svg::number(xy->second - 7) + "v14",
                 "class=\"estimate\"");
}

// The map's frame and hatch; the caller draws the cells between begin and finish.
std::string begin(SvgWriter& svg, const MapFrame& frame) {
    const std::string hatch = "hatch" + std::to_string(++mapNumber);
    svg.hatchPattern(hatch, "#fff");
    svg.rect(0, 0, frame.width(), frame.height(), "class=\"map-ground\"");
    return "url(#" + hatch + ")";
}

void finish(SvgWriter& svg, const MapFrame& frame) {
    scaleBar(svg, frame);
    northArrow(svg, frame);
    svg.end();
}

void swatch(std::string& out, const std::string& kind, const std::string& style, const std::string& text) {
    out += "<span class=\"swatch " + kind + "\"";
    if (!style.empty()) out += " style=\"" + style + "\"";
    out += "></span>";
    svg::appendEscaped(out, text);
    out += " ";
}

}  // namespace

MapFrame::MapFrame(const GridFrame& grid, const CellSet& cells) : grid_(grid) {
    long long west = 0, east = 0, south = 0, north = 0;
    bool first = true;
    for (const CellIndex& c : cells) {
        west = first ? c.column : std::min(west, c.column);
        east = first ? c.column : std::max(east, c.column);
        south = first ? c.row : std::min(south, c.row);
        north = first ? c.row : std::max(north, c.row);
        first = false;
    }
    west_ = west - 1;
    north_ = north + 1;
    const double columns = static_cast<double>(east - west + 3), rows = static_cast<double>(north - south + 3);
    side_ = std::min(kMostWidth / columns, kMostHeight / rows);
    width_ = columns * side_;
    height_ = rows * side_;
}

std::optional<std::pair<double, double>> MapFrame::point(const Place& p) const {
    const auto metres = grid_.grid.metres({p.lat, p.lon});
    if (!metres) return std::nullopt;
    const double size = grid_.grid.size();
    return std::pair{(metres->first / size - static_cast<double>(west_)) * side_,
                     (static_cast<double>(north_ + 1) - metres->second / size) * side_};
}

double MapFrame::x(const CellIndex& c) const { return static_cast<double>(c.column - west_) * side_; }
double MapFrame::y(const CellIndex& c) const { return static_cast<double>(north_ - c.row) * side_; }

void levelMap(std::string& out, const MapFrame& frame, const LevelCells& map) {
    SvgWriter svg(out, frame.width(), frame.height() + kFoot, "map", map.label, naturalSize(frame));
    const std::string hatch = begin(svg, frame);
    for (const auto& [cell, levels] : *map.cells) {
        const double mean = *levels.mean();
        const uint32_t pixel = map.scale.pixel(mean);
        const bool few = levels.count() < map.minSamples;
        const std::string tip = fixed(mean, 1) + " dBm mean, " + std::to_string(levels.count()) + " samples" +
                                (few ? " (too few: not counted)" : "");
        svg.rectWithTip(frame.x(cell), frame.y(cell), frame.side(), frame.side(), "fill=\"" + svg::colour(pixel) + "\"",
                        tip);
        if (few) svg.rect(frame.x(cell), frame.y(cell), frame.side(), frame.side(), "fill=\"" + hatch + "\" class=\"few\"");
        cellText(svg, frame, cell, levels.count(), pixel);
    }
    if (map.undersampled)
        for (const CellIndex& cell : *map.undersampled)
            svg.rect(frame.x(cell), frame.y(cell), frame.side(), frame.side(), "class=\"undersampled\"");
    if (map.source) sourceMark(svg, frame, *map.source);
    finish(svg, frame);
}

CellSet everyCell(const ReportData& data) {
    CellSet cells;
    for (const auto& [key, c] : data.channels)
        for (const auto& [cell, levels] : c.cells) cells.insert(cell);
    for (int band = 0; band < kBands; ++band) {
        for (const auto& [cell, d] : data.dominance[band]) cells.insert(cell);
        cells.insert(data.undersampledCells[band].begin(), data.undersampledCells[band].end());
    }
    return cells;
}

LevelScale levelScaleOf(const ReportData& data) {
    if (data.options.scale) return *data.options.scale;
    plot::Range means;
    for (const auto& [key, c] : data.channels)
        for (const auto& [cell, levels] : c.cells) means.take(*levels.mean());
    const plot::Range tens = means.empty() ? plot::Range{-120, -40} : means.tens();
    return {tens.lo, tens.hi};
}

void dominanceMap(std::string& out, const MapFrame& frame, const CellMap<DominanceCell>& cells, size_t minSamples,
                  const std::string& label) {
    SvgWriter svg(out, frame.width(), frame.height() + kFoot, "map", label, naturalSize(frame));
    const std::string hatch = begin(svg, frame);
    for (const auto& [cell, d] : cells) {
        const size_t within = d.withinFiveDb();
        if (within == 0) continue;
        const uint32_t fill = kDominanceColours[std::min<size_t>(within, 4) - 1];
        const bool few = d.records < minSamples;
        svg.rectWithTip(frame.x(cell), frame.y(cell), frame.side(), frame.side(), "fill=\"" + svg::colour(fill) + "\"",
                        std::to_string(within) + " channels within 5 dB of the strongest, " +
                            std::to_string(d.records) + " records" + (few ? " (too few: not counted)" : ""));
        if (few) svg.rect(frame.x(cell), frame.y(cell), frame.side(), frame.side(), "fill=\"" + hatch + "\" class=\"few\"");
        cellText(svg, frame, cell, d.records, fill);
    }
    finish(svg, frame);
}

void levelKey(std::string& out, const LevelScale& scale, bool undersampled) {
    out += "<p class=\"key\">";
    const double step = plot::niceStep(scale.hi - scale.lo, 8);
    for (double v = scale.lo; v <= scale.hi + 1e-9; v += step)
        swatch(out, "", "background:" + svg::colour(scale.pixel(v)), fixed(v, 0));
    out += "dBm (mean per cell) ";
    swatch(out, "hatched", "", "too few samples: not counted");
    if (undersampled) swatch(out, "outlined", "", "driven below 36 samples per 40 wavelengths");
    out += "</p>\n";
}

void dominanceKey(std::string& out) {
    out += "<p class=\"key\">Channels within 5 dB of the strongest: ";
    static const char* const kNames[] = {"1 (dominant)", "2", "3", "4 or more (no dominant server)"};
    for (int i = 0; i < 4; ++i) swatch(out, "", "background:" + svg::colour(kDominanceColours[i]), kNames[i]);
    swatch(out, "hatched", "", "too few records: not counted");
    out += "</p>\n";
}

}  // namespace zarn::report
