#pragma once
// Painting helpers for the start-screen pictures and the title band: colour
// blends, gradients, soft glows, thick strokes, the radio mast and the
// word mark. Everything draws through CDC, so it is clipped like any paint.

#include <functional>
#include <string_view>

#include "platform/gdi/dc.h"

namespace zarn::art {

// a at t = 0, b at t = 1; t is clamped.
COLORREF blend(COLORREF a, COLORREF b, double t);

// Rows from `top` colour to `bottom` colour over the rectangle.
void verticalGradient(CDC& dc, int x, int y, int w, int h, COLORREF top, COLORREF bottom);

// Brightens towards `c` around (cx, cy), strongest at the centre, none beyond r.
void glow(CDC& dc, int cx, int cy, int r, COLORREF c, double strength);

using Paint = std::function<COLORREF(int x, int y)>;

// A round-ended line of the given radius, each pixel coloured by `paint`.
void stroke(CDC& dc, double x0, double y0, double x1, double y1, double radius, const Paint& paint);
void stroke(CDC& dc, double x0, double y0, double x1, double y1, double radius, COLORREF c);

// Part of a ring around (cx, cy): angles in degrees, 0 to the right, counter-clockwise.
void arc(CDC& dc, double cx, double cy, double r, double fromDeg, double toDeg, double radius, COLORREF c);

// A lattice radio mast standing on (baseX, baseY), `height` tall, with
// `waves` rings of radio waves spreading from its tip.
void radioMast(CDC& dc, int baseX, int baseY, int height, int waves, COLORREF steel, COLORREF wave);

// The word in block capitals (Z, A, R, N, and the space) with its top-left
// corner at (x, y), letters `height` tall: a drop shadow, a dark outline and
// a fill shading from `top` to `bottom`.
void wordMark(CDC& dc, std::string_view word, int x, int y, int height, COLORREF top, COLORREF bottom,
              COLORREF outline);
// Width wordMark takes for the word at that height.
int wordMarkWidth(std::string_view word, int height);

// One line of text centred on x = 0..width at row y, in the large system font.
void caption(CDC& dc, std::string_view text, int y, int width, COLORREF c);

}  // namespace zarn::art
