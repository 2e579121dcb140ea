#pragma once
// SvgWriter: the pictures of `zarnlog report` as SVG inside its HTML page, so
// they print sharp and need nothing from elsewhere. Elements are appended to
// a string as they are called; text is escaped; coordinates are written with
// at most two decimals, enough for a picture a few hundred units wide.
//
// Styling lives in the page's CSS where it is shared (axes, grid lines,
// text), so that an element here carries only its geometry and its class or
// colour.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zarn::svg {

struct Point {
    double x = 0, y = 0;
};

struct Box {
    double left = 0, top = 0, right = 0, bottom = 0;
    bool overlaps(const Box& o) const { return left < o.right && o.left < right && top < o.bottom && o.top < bottom; }
    bool within(const Box& o) const { return left >= o.left && right <= o.right && top >= o.top && bottom <= o.bottom; }
};

// The pictures' text size, px (the page's CSS).
constexpr double kTextSize = 11;
// The box an SVG text in a font of `size` takes at (x, baseline) with its
// anchor ("start", "middle", "end"): each character as wide as the page's
// sans-serif fonts draw it at the most, so that boxes kept apart here stay
// apart in a browser.
Box textBox(double x, double baseline, std::string_view text, std::string_view anchor = "start",
            double size = kTextSize);
// At most `width` of text at `size`, cut between characters, an ellipsis where it was cut.
std::string fitted(std::string_view text, double width, double size = kTextSize);

// "12.5", "3", "-0.25": shortest of up to two decimals.
std::string number(double v);
// "#3b528b" of a 0x00RRGGBB pixel.
std::string colour(uint32_t pixel);
// Black or white, whichever contrasts more with `pixel` (the contrast ratio
// of relative luminances, as the web's accessibility guidelines measure it):
// at least 4.5 to 1 on any colour.
const char* inkOn(uint32_t pixel);
double contrastRatio(uint32_t a, uint32_t b);
// Text made safe inside HTML and SVG elements and attribute values.
void appendEscaped(std::string& out, std::string_view text);
std::string escaped(std::string_view text);

class SvgWriter {
public:
    // An <svg> of viewBox width x height that scales to its box's width.
    // `label` names it for a screen reader.
    SvgWriter(std::string& out, double width, double height, std::string_view cssClass, std::string_view label);
    // Extra attributes of the <svg> element, written as given (already escaped).
    SvgWriter(std::string& out, double width, double height, std::string_view cssClass, std::string_view label,
              std::string_view attributes);
    void end();

    // Every element takes a `style` of attributes written as given: class="..." or fill="...".
    void rect(double x, double y, double w, double h, std::string_view style);
    void line(double x1, double y1, double x2, double y2, std::string_view style);
    void polyline(const std::vector<Point>& points, std::string_view style);
    void polygon(const std::vector<Point>& points, std::string_view style);
    void path(std::string_view d, std::string_view style);
    // anchor: "start", "middle" or "end".
    void text(double x, double y, std::string_view text, std::string_view anchor = "start",
              std::string_view style = "");
    // An element that shows `tip` when the pointer rests on it, with no script.
    void rectWithTip(double x, double y, double w, double h, std::string_view style, std::string_view tip);
    void beginGroup(std::string_view attributes);
    void endGroup();
    // A diagonal hatch to fill with as url(#id).
    void hatchPattern(std::string_view id, std::string_view stroke);

private:
    std::string& out_;
};

}  // namespace zarn::svg
