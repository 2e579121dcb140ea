#include "resources/art/scenery.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/geometry.h"

namespace zarn::art {
namespace {

constexpr double kPi = 3.141592653589793;

uint8_t mix(uint8_t a, uint8_t b, double t) { return static_cast<uint8_t>(std::lround(a + (b - a) * t)); }

struct Point {
    double x, y;
};
using Polyline = std::vector<Point>;

// Block capitals in a unit box (x 0..1, y 0..1, y down), as strokes.
std::vector<Polyline> glyph(char c) {
    switch (c) {
    case 'Z': return {{{0, 0}, {1, 0}, {0, 1}, {1, 1}}};
    case 'A': return {{{0, 1}, {0.5, 0}, {1, 1}}, {{0.24, 0.62}, {0.76, 0.62}}};
    case 'R':
        return {{{0, 1}, {0, 0}, {0.72, 0}, {0.95, 0.14}, {0.95, 0.36}, {0.72, 0.5}, {0, 0.5}},
                {{0.5, 0.5}, {1, 1}}};
    case 'N': return {{{0, 1}, {0, 0}, {1, 1}, {1, 0}}};
    default: return {};
    }
}

double letterWidth(int height) { return height * 0.72; }
double letterGap(int height) { return height * 0.3; }

void drawGlyph(CDC& dc, char c, double x, double y, int height, double radius, const Paint& paint) {
    double w = letterWidth(height);
    for (const Polyline& p : glyph(c))
        for (size_t i = 0; i + 1 < p.size(); ++i)
            stroke(dc, x + p[i].x * w, y + p[i].y * height, x + p[i + 1].x * w, y + p[i + 1].y * height, radius,
                   paint);
}

}  // namespace

COLORREF blend(COLORREF a, COLORREF b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return RGB(mix(GetRValue(a), GetRValue(b), t), mix(GetGValue(a), GetGValue(b), t),
               mix(GetBValue(a), GetBValue(b), t));
}

void verticalGradient(CDC& dc, int x, int y, int w, int h, COLORREF top, COLORREF bottom) {
    for (int row = 0; row < h; ++row)
        dc.FillSolidRect(x, y + row, w, 1, blend(top, bottom, h > 1 ? row / static_cast<double>(h - 1) : 0.0));
}

void glow(CDC& dc, int cx, int cy, int r, COLORREF c, double strength) {
    for (int y = cy - r; y <= cy + r; ++y)
        for (int x = cx - r; x <= cx + r; ++x) {
            double d = std::hypot(x - cx, y - cy) / r;
            COLORREF under = dc.GetPixel(x, y);
            if (d >= 1.0 || under == 0xFFFFFFFF) continue;
            dc.SetPixel(x, y, blend(under, c, strength * (1.0 - d) * (1.0 - d)));
        }
}

void stroke(CDC& dc, double x0, double y0, double x1, double y1, double radius, const Paint& paint) {
    int left = static_cast<int>(std::floor(std::min(x0, x1) - radius));
    int right = static_cast<int>(std::ceil(std::max(x0, x1) + radius));
    int top = static_cast<int>(std::floor(std::min(y0, y1) - radius));
    int bottom = static_cast<int>(std::ceil(std::max(y0, y1) + radius));
    double dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            // Distance from the pixel to the segment.
            double t = len2 > 0 ? std::clamp(((x - x0) * dx + (y - y0) * dy) / len2, 0.0, 1.0) : 0.0;
            if (std::hypot(x - (x0 + t * dx), y - (y0 + t * dy)) <= radius) dc.SetPixel(x, y, paint(x, y));
        }
}

void stroke(CDC& dc, double x0, double y0, double x1, double y1, double radius, COLORREF c) {
    stroke(dc, x0, y0, x1, y1, radius, [c](int, int) { return c; });
}

void arc(CDC& dc, double cx, double cy, double r, double fromDeg, double toDeg, double radius, COLORREF c) {
    int steps = std::max(2, static_cast<int>(std::fabs(toDeg - fromDeg) * kPi / 180.0 * r / 2.0));
    for (int i = 0; i < steps; ++i) {
        double a0 = (fromDeg + (toDeg - fromDeg) * i / steps) * kPi / 180.0;
        double a1 = (fromDeg + (toDeg - fromDeg) * (i + 1) / steps) * kPi / 180.0;
        stroke(dc, cx + r * std::cos(a0), cy - r * std::sin(a0), cx + r * std::cos(a1), cy - r * std::sin(a1), radius,
               c);
    }
}

void radioMast(CDC& dc, int baseX, int baseY, int height, int waves, COLORREF steel, COLORREF wave) {
    double half = height * 0.12, tipY = baseY - height;
    // Two legs narrowing to the tip, cross-braced in sections.
    stroke(dc, baseX - half, baseY, baseX, tipY, 1.0, steel);
    stroke(dc, baseX + half, baseY, baseX, tipY, 1.0, steel);
    const int sections = 7;
    for (int i = 0; i < sections; ++i) {
        double f0 = i / double(sections), f1 = (i + 1) / double(sections);
        double y0 = baseY - height * f0, y1 = baseY - height * f1;
        double w0 = half * (1 - f0), w1 = half * (1 - f1);
        stroke(dc, baseX - w0, y0, baseX + w1, y1, 0.5, steel);
        stroke(dc, baseX + w0, y0, baseX - w1, y1, 0.5, steel);
        stroke(dc, baseX - w1, y1, baseX + w1, y1, 0.5, steel);
    }
    // The aerial and its beacon.
    stroke(dc, baseX, tipY, baseX, tipY - height * 0.12, 0.8, steel);
    double beaconY = tipY - height * 0.12;
    glow(dc, baseX, static_cast<int>(beaconY), 9, RGB(255, 80, 60), 0.9);
    stroke(dc, baseX, beaconY, baseX, beaconY, 1.6, RGB(255, 40, 30));
    for (int i = 1; i <= waves; ++i) {
        double r = 9.0 + i * 9.0;
        COLORREF c = blend(wave, RGB(255, 255, 255), 0.35 - 0.05 * i);
        arc(dc, baseX, beaconY, r, -35, 35, 1.1, c);
        arc(dc, baseX, beaconY, r, 145, 215, 1.1, c);
    }
}

int wordMarkWidth(std::string_view word, int height) {
    if (word.empty()) return 0;
    return static_cast<int>(std::lround(word.size() * letterWidth(height) + (word.size() - 1) * letterGap(height)));
}

void wordMark(CDC& dc, std::string_view word, int x, int y, int height, COLORREF top, COLORREF bottom,
              COLORREF outline) {
    double radius = height * 0.085;
    auto fill = [&](int, int py) { return blend(top, bottom, (py - y) / static_cast<double>(height)); };
    auto solid = [](COLORREF c) { return [c](int, int) { return c; }; };
    const double shadow = std::max(2.0, height * 0.06);
    struct Pass {
        double dx, dy, grow;
        Paint paint;
    } passes[] = {{shadow, shadow, 1.5, solid(RGB(0, 0, 0))}, {0, 0, 1.5, solid(outline)}, {0, 0, 0, fill}};
    for (const Pass& pass : passes) {
        double left = x;
        for (char c : word) {
            drawGlyph(dc, c, left + pass.dx, y + pass.dy, height, radius + pass.grow, pass.paint);
            left += letterWidth(height) + letterGap(height);
        }
    }
}

void caption(CDC& dc, std::string_view text, int y, int width, COLORREF c) {
    CFont font;
    if (!font.CreatePointFont(100, "System", &dc)) return;
    CFont* old = dc.SelectObject(&font);
    int oldMode = dc.SetBkMode(TRANSPARENT);
    COLORREF oldColour = dc.SetTextColor(c);
    dc.DrawText(text, CRect(0, y, width, y + 16), DT_CENTER | DT_SINGLELINE);
    dc.SetTextColor(oldColour);
    dc.SetBkMode(oldMode);
    dc.SelectObject(old);
}

}  // namespace zarn::art
