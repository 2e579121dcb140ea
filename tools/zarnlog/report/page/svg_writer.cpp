#include "tools/zarnlog/report/page/svg_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zarn::svg {

std::string number(double v) {
    if (!std::isfinite(v)) return "0";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    std::string s = text;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

std::string colour(uint32_t pixel) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", pixel & 0xFFFFFFu);
    return text;
}

namespace {

double relativeLuminance(uint32_t pixel) {
    const auto linear = [](uint32_t c) {
        const double v = c / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear((pixel >> 16) & 0xFF) + 0.7152 * linear((pixel >> 8) & 0xFF) + 0.0722 * linear(pixel & 0xFF);
}

}  // namespace

double contrastRatio(uint32_t a, uint32_t b) {
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

const char* inkOn(uint32_t pixel) { return contrastRatio(pixel, 0) >= contrastRatio(pixel, 0xFFFFFF) ? "#000" : "#fff"; }

void appendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
}

std::string escaped(std::string_view text) {
    std::string out;
    appendEscaped(out, text);
    return out;
}

namespace {

// A character's width in em, at the widest of the common sans-serif fonts;
// `at` moves past it (UTF-8).
double characterWidth(std::string_view text, size_t& at) {
    const unsigned char c = static_cast<unsigned char>(text[at++]);
    if (c >= 0x80) {
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
        return 1.0;
    }
    if (c >= '0' && c <= '9') return 0.64;
    if (std::string_view("mwMW%@").find(static_cast<char>(c)) != std::string_view::npos) return 1.0;
    if ((c >= 'A' && c <= 'Z') || std::string_view("#&+=~<>").find(static_cast<char>(c)) != std::string_view::npos)
        return 0.8;
    if (std::string_view(" .,:;'!|()[]{}-ijlftr\"/").find(static_cast<char>(c)) != std::string_view::npos) return 0.42;
    return 0.64;
}

double textWidth(std::string_view text, double size) {
    double em = 0;
    for (size_t at = 0; at < text.size();) em += characterWidth(text, at);
    return em * size;
}

}  // namespace

Box textBox(double x, double baseline, std::string_view text, std::string_view anchor, double size) {
    const double width = textWidth(text, size);
    const double left = anchor == "end" ? x - width : anchor == "middle" ? x - width / 2 : x;
    return {left, baseline - 0.8 * size, left + width, baseline + 0.22 * size};
}

std::string fitted(std::string_view text, double width, double size) {
    if (textWidth(text, size) <= width) return std::string(text);
    const double room = width - size;  // the ellipsis at its widest
    double used = 0;
    size_t end = 0;
    for (size_t at = 0; at < text.size();) {
        used += characterWidth(text, at);
        if (used * size > room) break;
        end = at;
    }
    return std::string(text.substr(0, end)) + "\u2026";
}

SvgWriter::SvgWriter(std::string& out, double width, double height, std::string_view cssClass, std::string_view label)
    : SvgWriter(out, width, height, cssClass, label, "") {}

SvgWriter::SvgWriter(std::string& out, double width, double height, std::string_view cssClass, std::string_view label,
                     std::string_view attributes)
    : out_(out) {
    out_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + number(width) + " " + number(height) +
            "\" class=\"";
    appendEscaped(out_, cssClass);
    out_ += "\" role=\"img\" aria-label=\"";
    appendEscaped(out_, label);
    out_ += "\"";
    if (!attributes.empty()) out_.append(" ").append(attributes);
    out_ += ">";
}

void SvgWriter::end() { out_ += "</svg>\n"; }

namespace {

void close(std::string& out, std::string_view style) {
    if (!style.empty()) out.append(" ").append(style);
    out += "/>";
}

void points(std::string& out, const std::vector<Point>& ps) {
    out += " points=\"";
    for (size_t i = 0; i < ps.size(); ++i) {
        if (i) out += ' ';
        out += number(ps[i].x) + "," + number(ps[i].y);
    }
    out += "\"";
}

}  // namespace

void SvgWriter::rect(double x, double y, double w, double h, std::string_view style) {
    out_ += "<rect x=\"" + number(x) + "\" y=\"" + number(y) + "\" width=\"" + number(w) + "\" height=\"" +
            number(h) + "\"";
    close(out_, style);
}

void SvgWriter::line(double x1, double y1, double x2, double y2, std::string_view style) {
    out_ += "<line x1=\"" + number(x1) + "\" y1=\"" + number(y1) + "\" x2=\"" + number(x2) + "\" y2=\"" +
            number(y2) + "\"";
    close(out_, style);
}

void SvgWriter::polyline(const std::vector<Point>& ps, std::string_view style) {
    if (ps.empty()) return;
    out_ += "<polyline";
    points(out_, ps);
    close(out_, style);
}

void SvgWriter::polygon(const std::vector<Point>& ps, std::string_view style) {
    if (ps.empty()) return;
    out_ += "<polygon";
    points(out_, ps);
    close(out_, style);
}

void SvgWriter::path(std::string_view d, std::string_view style) {
    out_ += "<path d=\"";
    out_ += d;
    out_ += "\"";
    close(out_, style);
}

void SvgWriter::text(double x, double y, std::string_view text, std::string_view anchor, std::string_view style) {
    out_ += "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\"";
    if (anchor != "start") out_.append(" text-anchor=\"").append(anchor).append("\"");
    if (!style.empty()) out_.append(" ").append(style);
    out_ += ">";
    appendEscaped(out_, text);
    out_ += "</text>";
}

void SvgWriter::rectWithTip(double x, double y, double w, double h, std::string_view style, std::string_view tip) {
    rect(x, y, w, h, style);
    out_.pop_back();
    out_.pop_back();  // "/>"
    out_ += "><title>";
    appendEscaped(out_, tip);
    out_ += "</title></rect>";
}

void SvgWriter::beginGroup(std::string_view attributes) {
    out_ += "<g";
    if (!attributes.empty()) out_.append(" ").append(attributes);
    out_ += ">";
}

void SvgWriter::endGroup() { out_ += "</g>"; }

void SvgWriter::hatchPattern(std::string_view id, std::string_view stroke) {
    out_ += "<defs><pattern id=\"";
    appendEscaped(out_, id);
    out_ += "\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" patternTransform=\"rotate(45)\">"
            "<line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" stroke=\"";
    appendEscaped(out_, stroke);
    out_ += "\" stroke-width=\"2\"/></pattern></defs>";
}

}  // namespace zarn::svg
