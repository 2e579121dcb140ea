#include "tools/zarnlog/report/page/report_charts.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "survey/colour_map.h"
#include "survey/json_writer.h"
#include "tools/zarnlog/report/page/report_format.h"
#include "tools/zarnlog/report/page/svg_writer.h"

namespace zarn::report {
namespace {

using svg::number;
using svg::Point;
using svg::SvgWriter;

constexpr double kWidth = 720, kHeight = 240;
// The unit sits above the y axis' labels, clear of the top one.
constexpr double kLeft = 52, kRight = 14, kTop = 24, kBottom = 36;
constexpr double kPlotWidth = kWidth - kLeft - kRight, kPlotHeight = kHeight - kTop - kBottom;

struct Scale {
    double lo, hi, from, to;  // values lo..hi onto from..to
    double operator()(double v) const { return from + (v - lo) / (hi - lo) * (to - from); }
};

// A picture's texts: each written only where it stays inside the picture and
// clear of every text written before it, so the ones that must be there go first.
class Labels {
public:
    Labels(SvgWriter& svg, double width, double height) : svg_(svg), picture_{0, 0, width, height} {}
    bool fits(const svg::Box& box) const {
        return box.within(picture_) &&
               std::none_of(placed_.begin(), placed_.end(), [&](const svg::Box& b) { return b.overlaps(box); });
    }
    bool text(double x, double y, const std::string& text, const char* anchor = "start", std::string_view style = "",
              double size = svg::kTextSize) {
        const svg::Box box = svg::textBox(x, y, text, anchor, size);
        if (!fits(box)) return false;
        placed_.push_back(box);
        svg_.text(x, y, text, anchor, style);
        return true;
    }

private:
    SvgWriter& svg_;
    svg::Box picture_;
    std::vector<svg::Box> placed_;
};

void yAxis(SvgWriter& svg, Labels& labels, const Scale& y, const std::string& unit) {
    const double step = plot::niceStep(y.hi - y.lo, 6);
    for (double v = std::ceil(y.lo / step) * step; v <= y.hi + 1e-9; v += step) {
        svg.line(kLeft, y(v), kWidth - kRight, y(v), "class=\"grid\"");
        labels.text(kLeft - 5, y(v) + 4, fixed(v, step < 1 ? 1 : 0), "end");
    }
    labels.text(4, kTop - 8, unit);
}

void frame(SvgWriter& svg) { svg.rect(kLeft, kTop, kPlotWidth, kPlotHeight, "class=\"axis\""); }

// Lines through the values, broken where one is missing.
std::vector<std::vector<Point>> runs(const std::vector<std::optional<double>>& values, const Scale& x, const Scale& y,
                                     const std::vector<double>* xs = nullptr) {
    std::vector<std::vector<Point>> out(1);
    for (size_t i = 0; i < values.size(); ++i) {
        if (!values[i]) {
            if (!out.back().empty()) out.emplace_back();
            continue;
        }
        const double at = xs ? (*xs)[i] : static_cast<double>(i) + 0.5;
        out.back().push_back({x(at), y(std::clamp(*values[i], y.lo, y.hi))});
    }
    return out;
}

void appendSeries(JsonWriter& json, const std::vector<Series>& series) {
    json.key("series").beginArray();
    for (const Series& s : series) {
        json.beginObject().key("name").text(s.name).key("v").beginArray();
        for (const auto& v : s.values)
            if (v) json.rawValue() += fixed(*v, 1);
            else json.null();
        json.endArray().endObject();
    }
    json.endArray();
}

constexpr long long kTickSeconds[] = {1,    2,    5,     10,    15,    30,     60,     120,      300,
                                      600,  900,  1800,  3600,  7200,  10800,  21600,  43200,    86400,
                                      172800, 604800, 2592000, 31536000};

void timeTicks(SvgWriter& svg, Labels& labels, const TimeAxis& axis, const std::vector<LogOverview>& logs) {
    long long every = kTickSeconds[std::size(kTickSeconds) - 1];
    for (long long s : kTickSeconds)
        if (axis.seconds() / static_cast<double>(s) <= 7) {
            every = s;
            break;
        }
    for (size_t i = 0; i < logs.size(); ++i) {
        if (!logs[i].records) continue;
        const double start = kLeft + axis.startOf(i) * kPlotWidth;
        if (i > 0) {
            svg.line(start, kTop, start, kTop + kPlotHeight, "class=\"log-edge\"");
            labels.text(start + 3, kTop + 11, "log " + std::to_string(i + 1));
        }
        const long long first = logs[i].first, end = logs[i].last + 1;
        for (long long s = (first + every - 1) / every * every; s <= end; s += every) {
            const double x = start + static_cast<double>(s - first) / axis.seconds() * kPlotWidth;
            svg.line(x, kTop + kPlotHeight, x, kTop + kPlotHeight + 4, "class=\"axis\"");
            labels.text(x, kTop + kPlotHeight + 16, every >= 86400 ? stampText(s).substr(0, 10) : clockText(s), "middle");
        }
    }
}

std::string timeReadout(const TimeAxis& axis, const std::vector<LogOverview>& logs, const TimeChart& chart) {
    std::string text;
    JsonWriter json(text);
    json.beginObject().key("left").number(kLeft).key("width").number(kPlotWidth);
    json.key("n").number(static_cast<long long>(axis.columns())).key("unit").text(chart.unit);
    json.key("total").number(axis.seconds()).key("parts").beginArray();
    for (size_t i = 0; i < logs.size(); ++i) {
        json.beginArray().rawValue() += fixed(axis.startOf(i), 6);
        json.number(logs[i].first).endArray();
    }
    json.endArray();
    std::vector<Series> all = chart.lines;
    if (chart.high) all.push_back(*chart.high);
    if (chart.low) all.push_back(*chart.low);
    appendSeries(json, all);
    json.endObject();
    return "data-readout=\"" + svg::escaped(text) + "\"";
}

}  // namespace

std::string lineColour(size_t n) {
    static const char* const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e",
                                           "#8c564b", "#e377c2", "#17becf", "#7f7f7f", "#bcbd22"};
    return kColours[n % std::size(kColours)];
}

void timeChart(std::string& out, const TimeAxis& axis, const std::vector<LogOverview>& logs, const TimeChart& chart) {
    SvgWriter svg(out, kWidth, kHeight, "chart", chart.label, timeReadout(axis, logs, chart));
    const Scale x{0, static_cast<double>(axis.columns()), kLeft, kLeft + kPlotWidth};
    const Scale y{chart.y.lo, chart.y.hi, kTop + kPlotHeight, kTop};
    Labels labels(svg, kWidth, kHeight);
    yAxis(svg, labels, y, chart.unit);
    if (chart.low && chart.high) {
        std::vector<Point> shape;
        const auto flush = [&] {
            if (shape.size() > 1) svg.polygon(shape, "class=\"spread\"");
            shape.clear();
        };
        std::vector<Point> lower;
        for (size_t c = 0; c <= chart.low->values.size(); ++c) {
            const bool have = c < chart.low->values.size() && chart.low->values[c] && chart.high->values[c];
            if (have) {
                const double at = x(static_cast<double>(c) + 0.5);
                shape.push_back({at, y(std::clamp(*chart.high->values[c], y.lo, y.hi))});
                lower.push_back({at, y(std::clamp(*chart.low->values[c], y.lo, y.hi))});
                continue;
            }
            shape.insert(shape.end(), lower.rbegin(), lower.rend());
            lower.clear();
            flush();
        }
    }
    for (const Series& s : chart.lines)
        for (const auto& run : runs(s.values, x, y))
            if (run.size() == 1) svg.rect(run[0].x - 1, run[0].y - 1, 2, 2, "fill=\"" + s.colour + "\"");
            else svg.polyline(run, "class=\"line\" stroke=\"" + s.colour + "\"");
    timeTicks(svg, labels, axis, logs);
    if (chart.threshold && *chart.threshold > y.lo && *chart.threshold < y.hi) {
        svg.line(kLeft, y(*chart.threshold), kLeft + kPlotWidth, y(*chart.threshold), "class=\"threshold\"");
        const std::string text = "threshold " + fixed(*chart.threshold, 0);
        if (!labels.text(kLeft + kPlotWidth - 3, y(*chart.threshold) - 3, text, "end", "class=\"threshold-label\""))
            labels.text(kLeft + kPlotWidth - 3, y(*chart.threshold) + 12, text, "end", "class=\"threshold-label\"");
    }
    frame(svg);
    svg.end();
}

void cdfChart(std::string& out, const std::string& label, const std::vector<CdfLine>& lines, double threshold) {
    plot::Range levels;
    for (const CdfLine& l : lines)
        if (l.levels->count()) levels.take(*l.levels->min()), levels.take(*l.levels->max());
    levels.take(threshold);
    const plot::Range range = levels.tens();
    SvgWriter svg(out, kWidth, kHeight, "chart", label);
    const Scale x{range.lo, range.hi, kLeft, kLeft + kPlotWidth};
    const Scale y{0, 100, kTop + kPlotHeight, kTop};
    Labels labels(svg, kWidth, kHeight);
    yAxis(svg, labels, y, "% at or below");
    const double step = plot::niceStep(range.hi - range.lo, 8);
    for (double v = range.lo; v <= range.hi + 1e-9; v += step) {
        svg.line(x(v), kTop + kPlotHeight, x(v), kTop + kPlotHeight + 4, "class=\"axis\"");
        labels.text(x(v), kTop + kPlotHeight + 16, fixed(v, 0), "middle");
    }
    labels.text(kLeft + kPlotWidth, kHeight - 4, "dBm", "end");
    for (const CdfLine& l : lines) {
        std::vector<Point> steps;
        for (int k = 0; k <= 100; ++k)
            if (const auto v = l.levels->percentile(k / 100.0)) steps.push_back({x(*v), y(k)});
        svg.polyline(steps, "class=\"line\" stroke=\"" + l.colour + "\"");
    }
    svg.line(x(threshold), kTop, x(threshold), kTop + kPlotHeight, "class=\"threshold\"");
    const std::string thresholdText = "threshold " + fixed(threshold, 0);
    if (!labels.text(x(threshold) + 3, kTop + 11, thresholdText, "start", "class=\"threshold-label\""))
        labels.text(x(threshold) - 3, kTop + 11, thresholdText, "end", "class=\"threshold-label\"");
    frame(svg);
    svg.end();
}

void spectrumChart(std::string& out, const std::string& label, const std::vector<double>& mhz,
                   const std::vector<Series>& lines) {
    plot::Range levels;
    for (const Series& s : lines)
        for (const auto& v : s.values)
            if (v) levels.take(*v);
    const plot::Range range = levels.empty() ? plot::Range{-120, -40} : levels.tens();
    const double lo = mhz.front(), hi = mhz.back() > lo ? mhz.back() : lo + 1;
    std::string readout;
    JsonWriter json(readout);
    json.beginObject().key("left").number(kLeft).key("width").number(kPlotWidth).key("unit").text("dBm");
    json.key("x0").number(lo).key("x1").number(hi).key("xs").beginArray();
    for (double m : mhz) json.rawValue() += fixed(m, 3);
    json.endArray();
    appendSeries(json, lines);
    json.endObject();
    SvgWriter svg(out, kWidth, kHeight, "chart", label, "data-readout=\"" + svg::escaped(readout) + "\"");
    const Scale x{lo, hi, kLeft, kLeft + kPlotWidth};
    const Scale y{range.lo, range.hi, kTop + kPlotHeight, kTop};
    Labels labels(svg, kWidth, kHeight);
    yAxis(svg, labels, y, "dBm");
    const double step = plot::niceStep(hi - lo, 8);
    for (double v = std::ceil(lo / step) * step; v <= hi + 1e-9; v += step) {
        svg.line(x(v), kTop + kPlotHeight, x(v), kTop + kPlotHeight + 4, "class=\"axis\"");
        labels.text(x(v), kTop + kPlotHeight + 16, plot::megahertzLabel(v, step), "middle");
    }
    labels.text(kLeft + kPlotWidth, kHeight - 4, "MHz", "end");
    for (const Series& s : lines)
        for (const auto& run : runs(s.values, x, y, &mhz)) svg.polyline(run, "class=\"line\" stroke=\"" + s.colour + "\"");
    frame(svg);
    svg.end();
}

std::string occupancyColour(float occupancy) {
    return occupancy == OccupancyCells::kNone ? svg::colour(kNoPeriodPixel) : svg::colour(viridisPixel(occupancy));
}

void occupancyChart(std::string& out, const OccupancyChart& chart) {
    constexpr double kTimeLeft = 84, kCellsTop = 14;
    const OccupancyCells& cells = *chart.cells;
    const SweepOccupancy& o = *chart.occupancy;
    const double width = kWidth - kTimeLeft - kRight;
    const double height = std::clamp(cells.rows() * 3.0, 96.0, 288.0);
    const double cellWidth = width / cells.columns(), cellHeight = height / cells.rows();
    const double pictureHeight = kCellsTop + height + kBottom;
    SvgWriter svg(out, kWidth, pictureHeight, "chart", chart.label);
    Labels labels(svg, kWidth, pictureHeight);
    // A path per colour, a row's run of equal cells one rectangle: a small page however busy the band.
    std::map<std::string, std::string> paths;
    for (int y = 0; y < cells.rows(); ++y)
        for (int x = 0; x < cells.columns();) {
            const std::string fill = occupancyColour(cells.at(x, y));
            int end = x + 1;
            while (end < cells.columns() && occupancyColour(cells.at(end, y)) == fill) ++end;
            paths[fill] += "M" + number(kTimeLeft + x * cellWidth) + " " + number(kCellsTop + y * cellHeight) + "h" +
                           number((end - x) * cellWidth) + "v" + number(cellHeight) + "h" +
                           number(-(end - x) * cellWidth) + "z";
            x = end;
        }
    for (const auto& [fill, d] : paths) svg.path(d, "fill=\"" + fill + "\" shape-rendering=\"crispEdges\"");

    // Ticks at round MHz, each at the middle of the column of the first place from there.
    const long long n = static_cast<long long>(chart.hz.size());
    const double lo = chart.hz.front() / 1e6, hi = chart.hz.back() / 1e6;
    const double step = plot::niceStep(std::max(hi - lo, 0.01), 8);
    const double bottom = kCellsTop + height;
    long long previous = -1;
    for (double t = std::ceil(lo / step) * step; t <= hi + 1e-9; t += step) {
        const auto at = std::lower_bound(chart.hz.begin(), chart.hz.end(), static_cast<uint32_t>(std::llround(t * 1e6)));
        const long long k = at - chart.hz.begin();
        if (k >= n || k == previous) continue;
        previous = k;
        const auto [x0, x1] = OccupancyCells::span(k, n, cells.columns());
        const double x = kTimeLeft + (x0 + x1) / 2.0 * cellWidth;
        const std::string text = plot::megahertzLabel(*at / 1e6, step);
        if (!labels.fits(svg::textBox(x, bottom + 16, text, "middle"))) continue;
        svg.line(x, bottom, x, bottom + 4, "class=\"axis\"");
        labels.text(x, bottom + 16, text, "middle");
    }
    labels.text(kWidth - kRight, pictureHeight - 4, "MHz", "end");

    // Each stretch's start, a break line above all but the first; then up to eight
    // period starts where their labels have room. With the date when the periods
    // run over more than a day.
    const bool days = o.periods * chart.periodSeconds > 86400;
    const auto timeLabel = [&](long long shown) {
        long long before = 0;
        for (const SweepOccupancy::Stretch& s : o.stretches) {
            if (shown < before + s.periods) {
                const long long stamp = o.firstPeriod + (s.first + shown - before) * chart.periodSeconds;
                const double y = kCellsTop + o.rowOfShown(shown) * cellHeight;
                const std::string text = days ? stampText(stamp).substr(5, 11) : clockText(stamp).substr(0, 5);
                if (!labels.fits(svg::textBox(kTimeLeft - 6, y + 4, text, "end"))) return;
                svg.line(kTimeLeft - 4, y, kTimeLeft, y, "class=\"axis\"");
                labels.text(kTimeLeft - 6, y + 4, text, "end");
                return;
            }
            before += s.periods;
        }
    };
    long long before = 0;
    for (const SweepOccupancy::Stretch& s : o.stretches) {
        if (before > 0) {
            const double y = kCellsTop + o.rowOfShown(before) * cellHeight;
            svg.line(kTimeLeft, y, kTimeLeft + width, y, "class=\"gap\"");
        }
        timeLabel(before);
        before += s.periods;
    }
    const long long ticks = std::min<long long>(o.shown, 8);
    for (long long t = 1; t < ticks; ++t) timeLabel(t * o.shown / ticks);
    svg.rect(kTimeLeft, kCellsTop, width, height, "class=\"axis\"");
    svg.end();
}

void notesTimeline(std::string& out, const TimeAxis& axis, const std::vector<LogOverview>& logs) {
    // Labels in lanes above the ticks, each beside its tick in the first lane with
    // room; the strip as high as the lanes used.
    constexpr int kLanes = 3;
    constexpr double kLabelSize = 10, kLane = 12, kMostLabel = 160;
    constexpr size_t kMostTip = 12;
    struct Tick {
        double x = 0;
        std::vector<const Note*> notes;
        int lane = -1;  // of its label; none: not written
        double labelX = 0;
        const char* anchor = "start";
        std::string label;
    };
    std::vector<Tick> ticks;
    size_t total = 0;
    for (size_t i = 0; i < logs.size(); ++i) {
        const double start = kLeft + axis.startOf(i) * kPlotWidth;
        for (const Note& n : logs[i].notes) {
            const double x = std::clamp(
                start + static_cast<double>(n.stamp - logs[i].first) / std::max(axis.seconds(), 1.0) * kPlotWidth, kLeft,
                kLeft + kPlotWidth);
            if (ticks.empty() || x > ticks.back().x + 3) {
                ticks.emplace_back();
                ticks.back().x = x;
            }
            ticks.back().notes.push_back(&n);
            ++total;
        }
    }
    double laneEnd[kLanes];
    std::fill(std::begin(laneEnd), std::end(laneEnd), -1e9);
    int lanes = 1;
    for (Tick& t : ticks) {
        const std::string more = t.notes.size() > 1 ? " +" + std::to_string(t.notes.size() - 1) : "";
        t.label = svg::fitted(t.notes.front()->text, kMostLabel, kLabelSize) + more;
        t.labelX = t.x + 3;
        svg::Box box = svg::textBox(t.labelX, 0, t.label, t.anchor, kLabelSize);
        if (box.right > kWidth - 2) {
            t.anchor = "end";
            t.labelX = t.x - 3;
            box = svg::textBox(t.labelX, 0, t.label, t.anchor, kLabelSize);
        }
        for (int lane = 0; lane < kLanes && t.lane < 0; ++lane)
            if (box.left >= laneEnd[lane] + 4) {
                t.lane = lane;
                laneEnd[lane] = box.right;
                lanes = std::max(lanes, lane + 1);
            }
    }
    const double axisY = 26 + kLane * (lanes - 1), strip = axisY + 22;
    SvgWriter svg(out, kWidth, strip, "chart timeline", "notes on the time axis");
    Labels labels(svg, kWidth, strip);
    svg.line(kLeft, axisY, kLeft + kPlotWidth, axisY, "class=\"axis\"");
    for (size_t i = 1; i < logs.size(); ++i)
        if (logs[i].records) {
            const double start = kLeft + axis.startOf(i) * kPlotWidth;
            svg.line(start, 8, start, axisY + 6, "class=\"log-edge\"");
        }
    size_t written = 0;
    const std::string labelStyle = "class=\"note-label\" font-size=\"" + svg::number(kLabelSize) + "\"";
    for (const Tick& t : ticks) {
        std::string tip;
        for (size_t k = 0; k < t.notes.size() && k < kMostTip; ++k)
            tip += (k ? "\n" : "") + stampText(t.notes[k]->stamp) + "  " + t.notes[k]->text;
        if (t.notes.size() > kMostTip) tip += "\nand " + std::to_string(t.notes.size() - kMostTip) + " more";
        svg.rectWithTip(t.x - 1.5, axisY - 12, 3, 18, "class=\"note-tick\"", tip);
        if (t.lane >= 0) written += labels.text(t.labelX, axisY - 15 - kLane * t.lane, t.label, t.anchor, labelStyle, kLabelSize);
    }
    if (!logs.empty()) labels.text(kLeft, strip - 4, stampText(logs.front().first));
    if (written < total)
        labels.text(kLeft + kPlotWidth, strip - 4,
                    std::to_string(total - written) + " of " + std::to_string(total) +
                        " notes not written: the ticks and the table show them",
                    "end");
    svg.end();
}

}  // namespace zarn::report
