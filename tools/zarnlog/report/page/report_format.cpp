#include "tools/zarnlog/report/page/report_format.h"

#include <cmath>
#include <cstdio>

#include "recording/log_units.h"
#include "survey/log_text.h"
#include "survey/log_time.h"

namespace zarn::report {

const char* const kNone = "\u2013";

std::string fixed(double v, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return std::string(text) == "-0" || std::string(text) == "-0.0" || std::string(text) == "-0.00"
               ? std::string(text + 1)
               : text;
}

std::string dbmText(const std::optional<double>& dbm) { return dbm ? fixed(*dbm, 1) : kNone; }

std::string shareText(size_t part, size_t whole) {
    if (whole == 0) return kNone;
    return fixed(100.0 * static_cast<double>(part) / static_cast<double>(whole), 1) + " %";
}

std::string stampText(long long stamp) {
    std::string text = isoTime(stampTime(stamp));
    text[10] = ' ';
    return text;
}

std::string clockText(long long stamp) { return clockTime(stampTime(stamp)); }

std::string spanText(long long first, long long last) {
    const std::string a = stampText(first), b = stampText(last);
    return a + " to " + (a.compare(0, 10, b, 0, 10) == 0 ? b.substr(11) : b);
}

std::string durationText(double seconds) {
    const long long s = std::llround(std::max(0.0, seconds));
    char text[64];
    if (s >= 3600) std::snprintf(text, sizeof text, "%lld h %02lld min", s / 3600, s % 3600 / 60);
    else if (s >= 60) std::snprintf(text, sizeof text, "%lld min %02lld s", s / 60, s % 60);
    else std::snprintf(text, sizeof text, "%lld s", s);
    return text;
}

std::string megahertz(uint32_t hz) {
    std::string text = fixed(hz / 1e6, 3);
    if (text.back() == '0') text.pop_back();  // 881.520 -> 881.52; 1931.250 keeps its 25 kHz
    return text;
}

std::string bandName(int band) { return band == 0 ? "800 MHz" : "1900 MHz"; }

std::string channelName(const ChannelKey& key, uint32_t channel) {
    std::string name = bandName(key.band);
    if (channel != kUnknownChannel) name += " ch " + std::to_string(channel);
    return name + ", " + megahertz(key.hz) + " MHz";
}

std::string metresText(double metres) {
    return metres >= 10000 ? fixed(metres / 1000, 1) + " km" : fixed(metres, 0) + " m";
}

std::string recordsText(size_t n) { return std::to_string(n) + (n == 1 ? " record" : " records"); }

}  // namespace zarn::report
