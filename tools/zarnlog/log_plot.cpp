#include "tools/zarnlog/log_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/gdi/dc.h"
#include "recording/log_units.h"
#include "tools/zarnlog/colour_map.h"

namespace zarn {
namespace {

constexpr int kWidth = 800;
constexpr int kLeft = 70;
constexpr int kRight = 120;
constexpr int kPlotWidth = kWidth - kLeft - kRight;
constexpr int kTitleHeight = 22;
constexpr int kAxisHeight = 34;
constexpr int kLineHeight = 220;
constexpr COLORREF kInk = RGB(0, 0, 0);
constexpr COLORREF kGrid = RGB(220, 220, 220);
constexpr COLORREF kNoData = RGB(200, 200, 200);
constexpr COLORREF kMarker = RGB(230, 90, 0);
constexpr COLORREF kSeries[] = {RGB(31, 119, 180), RGB(255, 127, 14), RGB(44, 160, 44),  RGB(214, 39, 40),
                                RGB(148, 103, 189), RGB(140, 86, 75), RGB(227, 119, 194), RGB(127, 127, 127),
                                RGB(188, 189, 34), RGB(23, 190, 207)};

struct Range {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    void take(double v) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    // Whole tens of dB around what was seen.
    Range tens() const {
        Range r{std::floor(lo / 10) * 10, std::ceil(hi / 10) * 10};
        if (!(r.hi > r.lo)) r.hi = r.lo + 10;
        return r;
    }
};

// A step of 1, 2 or 5 times a power of ten that gives at most `most` ticks over the span.
double niceStep(double span, int most) {
    double step = std::pow(10.0, std::floor(std::log10(std::max(span, 1e-9) / most)));
    for (double f : {1.0, 2.0, 5.0, 10.0})
        if (span / (step * f) <= most) return step * f;
    return step * 10;
}

void text(CDC& dc, const std::string& s, int x, int y, unsigned align = DT_LEFT) {
    const CRect r = (align & DT_RIGHT)    ? CRect{x - 300, y, x, y + 14}
                    : (align & DT_CENTER) ? CRect{x - 150, y, x + 150, y + 14}
                                          : CRect{x, y, x + 300, y + 14};
    dc.DrawText(s, r, align | DT_SINGLELINE | DT_NOCLIP);
}

void line(CDC& dc, int x0, int y0, int x1, int y1, COLORREF colour) {
    CPen pen(PS_SOLID, 1, colour);
    CPen* old = dc.SelectObject(&pen);
    dc.MoveTo(x0, y0);
    dc.LineTo(x1, y1);
    dc.SelectObject(old);
}

void markerLabel(CDC& dc, const std::string& note, int x, int y) {
    dc.SetBkMode(OPAQUE);
    dc.SetBkColor(RGB(255, 255, 255));
    dc.SetTextColor(kMarker);
    text(dc, note, x, y);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(kInk);
}

std::string megahertzLabel(double mhz, double step) {
    char s[32];
    std::snprintf(s, sizeof s, "%.*f", step < 0.1 ? 2 : step < 1 ? 1 : 0, mhz);
    return s;
}

void frequencyAxis(CDC& dc, int top, int height, double loHz, double hiHz) {
    const double loMhz = loHz / 1e6, span = (hiHz - loHz) / 1e6;
    const double step = niceStep(span, 8);
    for (double t = std::ceil(loMhz / step) * step; t <= loMhz + span + 1e-9; t += step) {
        const int x = kLeft + static_cast<int>(std::lround((t - loMhz) / span * (kPlotWidth - 1)));
        line(dc, x, top + height, x, top + height + 5, kInk);
        text(dc, megahertzLabel(t, step), x, top + height + 7, DT_CENTER);
    }
    text(dc, "MHz", kLeft + kPlotWidth, top + height + 20, DT_RIGHT);
}

void colourBar(CDC& dc, Surface& image, int top, int height, Range db) {
    const int x = kLeft + kPlotWidth + 26;
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < 14; ++i) image.at(x + i, top + y) = viridisPixel(1.0 - y / double(height - 1));
    CBrush frame(kInk);
    dc.FrameRect(CRect{x - 1, top - 1, x + 15, top + height + 1}, &frame);
    const double step = niceStep(db.hi - db.lo, 8);
    for (double v = db.lo; v <= db.hi + 1e-9; v += step) {
        const int y = top + static_cast<int>(std::lround((db.hi - v) / (db.hi - db.lo) * (height - 1)));
        line(dc, x + 15, y, x + 19, y, kInk);
        text(dc, std::to_string(static_cast<int>(v)), x + 21, y - 6);
    }
    text(dc, "dBm", x - 4, top - 16);
}

struct Band {
    uint8_t band = 0;
    std::vector<Sweep> sweeps;
    std::vector<const LogRecord*> records;
};

int drawWaterfall(CDC& dc, Surface& image, int top, const Band& b, const std::string& title) {
    Range hz, db;
    uint32_t step = 0;
    for (const Sweep& s : b.sweeps) {
        step = std::max(step, s.stepHz);
        for (const SweepPoint& p : s.points)
            if (p.hz && p.onGrid) {
                hz.take(p.hz);
                db.take(dbmOfLevel(p.level));
            }
    }
    if (!(hz.hi >= hz.lo)) return 0;
    const Range scale = db.tens();
    const double loHz = hz.lo, hiHz = hz.hi + step;
    const int n = static_cast<int>(b.sweeps.size());
    const int height = std::clamp(n, 160, 600);
    const int plotTop = top + kTitleHeight;
    std::vector<float> cells(static_cast<size_t>(kPlotWidth) * height, std::numeric_limits<float>::quiet_NaN());
    std::vector<float> row(kPlotWidth);
    const double perHz = kPlotWidth / (hiHz - loHz);
    for (int i = 0; i < n; ++i) {
        std::fill(row.begin(), row.end(), std::numeric_limits<float>::quiet_NaN());
        for (const SweepPoint& p : b.sweeps[i].points) {
            if (!p.hz || !p.onGrid) continue;
            const int x0 = std::clamp(static_cast<int>((p.hz - loHz) * perHz), 0, kPlotWidth - 1);
            const int x1 = std::clamp(static_cast<int>((p.hz + step - loHz) * perHz), x0 + 1, kPlotWidth);
            const float v = static_cast<float>(dbmOfLevel(p.level));
            for (int x = x0; x < x1; ++x) row[x] = std::isnan(row[x]) ? v : std::max(row[x], v);
        }
        const int y0 = static_cast<int>(static_cast<long long>(i) * height / n);
        const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<long long>(i + 1) * height / n));
        for (int y = y0; y < y1 && y < height; ++y) {
            float* cell = &cells[static_cast<size_t>(y) * kPlotWidth];
            for (int x = 0; x < kPlotWidth; ++x)
                if (!std::isnan(row[x])) cell[x] = std::isnan(cell[x]) ? row[x] : std::max(cell[x], row[x]);
        }
    }
    const double range = scale.hi - scale.lo;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < kPlotWidth; ++x) {
            const float v = cells[static_cast<size_t>(y) * kPlotWidth + x];
            image.at(kLeft + x, plotTop + y) = std::isnan(v) ? rgbToPixel(kNoData) : viridisPixel((v - scale.lo) / range);
        }
    CBrush frame(kInk);
    dc.FrameRect(CRect{kLeft - 1, plotTop - 1, kLeft + kPlotWidth + 1, plotTop + height + 1}, &frame);
    text(dc, title, kLeft, top + 4);
    frequencyAxis(dc, plotTop, height, loHz, hiHz);
    colourBar(dc, image, plotTop, height, scale);
    const int ticks = std::min(n, 8);
    for (int k = 0; k < ticks; ++k) {
        const int i = static_cast<int>(static_cast<long long>(k) * n / ticks);
        const int y = plotTop + static_cast<int>(static_cast<long long>(i) * height / n);
        line(dc, kLeft - 5, y, kLeft, y, kInk);
        text(dc, clockTime(b.records[i]->time), kLeft - 7, y - 6, DT_RIGHT);
    }
    for (int i = 0; i < n; ++i) {
        if (b.records[i]->note.empty()) continue;
        const int y = plotTop + static_cast<int>(static_cast<long long>(i) * height / n);
        line(dc, kLeft - 8, y, kLeft + 12, y, kMarker);
        line(dc, kLeft - 8, y + 1, kLeft + 12, y + 1, kMarker);
        markerLabel(dc, b.records[i]->note, kLeft + 15, y - 6);
    }
    return kTitleHeight + height + kAxisHeight;
}

struct Series {
    std::string name;
    std::vector<double> dbm;  // NaN where the record has no reading
};

int drawLines(CDC& dc, int top, const std::vector<const LogRecord*>& records, const std::vector<Series>& series,
              const std::string& title) {
    Range db;
    for (const Series& s : series)
        for (double v : s.dbm)
            if (!std::isnan(v)) db.take(v);
    if (!(db.hi >= db.lo)) return 0;
    const Range scale = db.tens();
    const int plotTop = top + kTitleHeight, n = static_cast<int>(records.size());
    auto xOf = [&](int i) { return kLeft + (n > 1 ? static_cast<int>(static_cast<long long>(i) * (kPlotWidth - 1) / (n - 1)) : kPlotWidth / 2); };
    auto yOf = [&](double v) { return plotTop + static_cast<int>(std::lround((scale.hi - v) / (scale.hi - scale.lo) * (kLineHeight - 1))); };
    const double step = niceStep(scale.hi - scale.lo, 6);
    for (double v = scale.lo; v <= scale.hi + 1e-9; v += step) {
        line(dc, kLeft, yOf(v), kLeft + kPlotWidth, yOf(v), kGrid);
        text(dc, std::to_string(static_cast<int>(v)), kLeft - 7, yOf(v) - 6, DT_RIGHT);
    }
    text(dc, "dBm", kLeft - 7, plotTop - 16, DT_RIGHT);
    for (size_t k = 0; k < series.size(); ++k) {
        CPen pen(PS_SOLID, 2, kSeries[k % 10]);
        CPen* old = dc.SelectObject(&pen);
        bool down = false;
        for (int i = 0; i < n; ++i) {
            const double v = series[k].dbm[i];
            if (std::isnan(v)) {
                down = false;
                continue;
            }
            if (!down || n == 1) dc.MoveTo(xOf(i), yOf(v));
            dc.LineTo(xOf(i) + (n == 1 ? 1 : 0), yOf(v));
            down = true;
        }
        dc.SelectObject(old);
        const int ly = plotTop + 4 + 14 * static_cast<int>(k);
        if (ly + 14 > plotTop + kLineHeight) continue;
        line(dc, kLeft + kPlotWidth + 8, ly + 6, kLeft + kPlotWidth + 22, ly + 6, kSeries[k % 10]);
        text(dc, series[k].name, kLeft + kPlotWidth + 25, ly);
    }
    CBrush frame(kInk);
    dc.FrameRect(CRect{kLeft - 1, plotTop - 1, kLeft + kPlotWidth + 1, plotTop + kLineHeight + 1}, &frame);
    text(dc, title, kLeft, top + 4);
    const int ticks = std::min(n, 6);
    for (int k = 0; k < ticks; ++k) {
        const int i = n > 1 ? k * (n - 1) / std::max(1, ticks - 1) : 0;
        line(dc, xOf(i), plotTop + kLineHeight, xOf(i), plotTop + kLineHeight + 5, kInk);
        text(dc, clockTime(records[i]->time), xOf(i), plotTop + kLineHeight + 7, DT_CENTER);
    }
    text(dc, "time", kLeft + kPlotWidth, plotTop + kLineHeight + 20, DT_RIGHT);
    for (int i = 0; i < n; ++i) {
        if (records[i]->note.empty()) continue;
        line(dc, xOf(i), plotTop, xOf(i), plotTop + kLineHeight + 8, kMarker);
        markerLabel(dc, records[i]->note, xOf(i) + 3, plotTop + 2);
    }
    return kTitleHeight + kLineHeight + kAxisHeight;
}

std::string span(const std::vector<const LogRecord*>& records) {
    return isoTime(records.front()->time) + " - " + clockTime(records.back()->time);
}

std::string channelName(const char* band, uint32_t channel, uint32_t hz) {
    std::string name = std::string(band) + " ch " + std::to_string(channel);
    if (hz) name += " " + megahertzLabel(hz / 1e6, 0.01);
    return name;
}

struct Panels {
    Band bands[2];
    std::vector<const LogRecord*> single, table;
    std::vector<SingleChannelReading> readings;
    std::vector<std::vector<TableReading>> passes;
};

Panels collect(const LoadedLog& log, const LogPlans& plans) {
    Panels p;
    p.bands[1].band = 1;
    for (const LogRecord& r : log.records) {
        Sweep s;
        SingleChannelReading reading;
        std::vector<TableReading> pass;
        if (decodeSweep(plans, r, s)) {
            const uint8_t band = s.band;
            p.bands[band].sweeps.push_back(std::move(s));
            p.bands[band].records.push_back(&r);
        } else if (decodeSingleChannel(plans, r, reading)) {
            p.readings.push_back(reading);
            p.single.push_back(&r);
        } else if (decodeTable(plans, r, pass)) {
            p.passes.push_back(std::move(pass));
            p.table.push_back(&r);
        }
    }
    return p;
}

std::vector<Series> singleSeries(const Panels& p) {
    const SingleChannelReading& first = p.readings.front();
    std::vector<Series> series{{channelName("800", first.band[0].channel, first.band[0].hz), {}},
                               {channelName("1900", first.band[1].channel, first.band[1].hz), {}}};
    for (const SingleChannelReading& r : p.readings)
        for (int b = 0; b < 2; ++b) series[b].dbm.push_back(dbmOfLevel(r.band[b].level));
    return series;
}

std::vector<Series> tableSeries(const Panels& p) {
    std::vector<Series> series;
    for (size_t i = 0; i < p.passes.size(); ++i)
        for (const TableReading& t : p.passes[i]) {
            if (series.size() <= static_cast<size_t>(t.slot)) series.resize(t.slot + 1);
            Series& s = series[t.slot];
            if (s.name.empty()) s.name = channelName(t.band == 0 ? "800" : "1900", t.channel, t.hz);
            s.dbm.resize(p.passes.size(), std::numeric_limits<double>::quiet_NaN());
            s.dbm[i] = dbmOfLevel(t.level);
        }
    for (Series& s : series) s.dbm.resize(p.passes.size(), std::numeric_limits<double>::quiet_NaN());
    return series;
}

}  // namespace

bool plotLog(const LoadedLog& log, const std::string& title, Surface& image) {
    const LogPlans plans(log.header.pcsRaster);
    const Panels p = collect(log, plans);
    int height = kTitleHeight;
    for (const Band& b : p.bands)
        if (!b.sweeps.empty()) height += kTitleHeight + std::clamp<int>(b.sweeps.size(), 160, 600) + kAxisHeight;
    if (!p.single.empty()) height += kTitleHeight + kLineHeight + kAxisHeight;
    if (!p.table.empty()) height += kTitleHeight + kLineHeight + kAxisHeight;
    if (height == kTitleHeight) {
        image = Surface();
        return false;
    }
    image = Surface(kWidth, height, rgbToPixel(RGB(255, 255, 255)));
    CDC dc(image);
    CFont font;
    font.CreatePointFont(80, "System");
    CFont* oldFont = dc.SelectObject(&font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(kInk);
    text(dc, title + "  (PCS raster " + std::to_string(log.header.pcsRaster / 1000) + " kHz)", 8, 5);
    int top = kTitleHeight;
    for (const Band& b : p.bands)
        if (!b.sweeps.empty())
            top += drawWaterfall(dc, image, top, b,
                                 std::string(b.band == 0 ? "Spectrum, 800 MHz band: " : "Spectrum, 1900 MHz band: ") +
                                     std::to_string(b.sweeps.size()) + " sweeps, " + span(b.records));
    if (!p.single.empty())
        top += drawLines(dc, top, p.single, singleSeries(p), "Single channel: " + span(p.single));
    if (!p.table.empty())
        top += drawLines(dc, top, p.table, tableSeries(p),
                         "Channel table: " + std::to_string(p.table.size()) + " passes, " + span(p.table));
    dc.SelectObject(oldFont);
    return true;
}

}  // namespace zarn
