// NMEA 0183 as receivers log it: GGA and RMC sentences with checksums. No
// packaged library reads them to these rules: a bad checksum is counted, a
// position is dated by the RMC sentences around it, across midnight too.
#include <charconv>
#include <ctime>

#include "survey/track_parsers.h"

namespace zarn {
namespace {

constexpr size_t kLongestLine = 256;  // a sentence is at most 82 characters
constexpr double kHalfDay = 43200;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A decimal number of digits and at most one point; NaN for anything else, an empty field too.
double decimal(std::string_view text) {
    double v = NAN;
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos) return NAN;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    return ec == std::errc() && end == text.data() + text.size() ? v : NAN;
}

// "hhmmss" with any fraction: seconds of the day.
double timeOfDay(std::string_view text) {
    if (text.size() < 6) return NAN;
    const double h = decimal(text.substr(0, 2)), m = decimal(text.substr(2, 2)), s = decimal(text.substr(4));
    if (!(h < 24 && m < 60 && s < 61)) return NAN;
    return h * 3600 + m * 60 + s;
}

// "ddmmyy": days since 1970, the years 80..99 in the 1900s (GPS began in 1980).
long long dayOf(std::string_view text) {
    if (text.size() != 6 || text.find_first_not_of("0123456789") != std::string_view::npos) return -1;
    const int day = (text[0] - '0') * 10 + text[1] - '0', month = (text[2] - '0') * 10 + text[3] - '0',
              yy = (text[4] - '0') * 10 + text[5] - '0';
    std::tm t{};
    t.tm_year = (yy < 80 ? 2000 + yy : 1900 + yy) - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    const std::time_t at = timegm(&t);
    if (t.tm_mon != month - 1 || t.tm_mday != day) return -1;
    return static_cast<long long>(at) / 86400;
}

// "ddmm.mmmm" (latitude, 2 degree digits) or "dddmm.mmmm" (longitude, 3) with its hemisphere.
double coordinate(std::string_view value, std::string_view hemisphere, int degreeDigits, char positive,
                  char negative) {
    const size_t point = value.find('.');
    if (value.size() < static_cast<size_t>(degreeDigits + 2) ||
        (point != std::string_view::npos && point != static_cast<size_t>(degreeDigits + 2)) || hemisphere.size() != 1)
        return NAN;
    const double degrees = decimal(value.substr(0, degreeDigits)), minutes = decimal(value.substr(degreeDigits));
    if (!(minutes < 60) || (hemisphere[0] != positive && hemisphere[0] != negative)) return NAN;
    const double v = degrees + minutes / 60.0;
    return hemisphere[0] == negative ? -v : v;
}

}  // namespace

void NmeaParser::feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        if (partial_.size() + piece.size() > kLongestLine) overlong_ = true;
        else partial_.append(piece);
        if (end == std::string_view::npos) return;
        if (!overlong_) line(partial_);
        partial_.clear();
        overlong_ = false;
        bytes.remove_prefix(end + 1);
    }
}

void NmeaParser::finish() {
    if (!overlong_ && !partial_.empty()) line(partial_);
    partial_.clear();
    close();
    // No RMC sentence at all: nothing dates these.
    out_.skipped.noDate += undated_.size();
    undated_.clear();
}

void NmeaParser::line(std::string_view text) {
    const size_t dollar = text.find('$');
    if (dollar == std::string_view::npos) return;
    text.remove_prefix(dollar + 1);
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.remove_suffix(1);
    const size_t comma = text.find(',');
    if (comma != 5) return;  // no sentence: two letters of talker, three of type
    const size_t star = text.rfind('*');
    if (star == std::string_view::npos || star + 3 != text.size() || hexDigit(text[star + 1]) < 0 ||
        hexDigit(text[star + 2]) < 0) {
        ++out_.skipped.badChecksum;
        return;
    }
    unsigned sum = 0;
    for (char c : text.substr(0, star)) sum ^= static_cast<unsigned char>(c);
    if (sum != static_cast<unsigned>(hexDigit(text[star + 1]) * 16 + hexDigit(text[star + 2]))) {
        ++out_.skipped.badChecksum;
        return;
    }
    ++sentences_;
    std::vector<std::string_view> fields;
    std::string_view body = text.substr(comma + 1, star - comma - 1);
    for (size_t at; (at = body.find(',')) != std::string_view::npos; body.remove_prefix(at + 1))
        fields.push_back(body.substr(0, at));
    fields.push_back(body);
    sentence(text.substr(2, 3), fields);
}

void NmeaParser::sentence(std::string_view type, const std::vector<std::string_view>& f) {
    const auto field = [&](size_t i) { return i < f.size() ? f[i] : std::string_view(); };
    if (type == "GGA") {
        // time, lat, N/S, lon, E/W, quality (0: no fix)
        if (field(5).empty() || field(5) == "0") return noFix();
        fix(timeOfDay(field(0)), coordinate(field(1), field(2), 2, 'N', 'S'), coordinate(field(3), field(4), 3, 'E', 'W'),
            -1);
    } else if (type == "RMC") {
        // time, status (A: valid), lat, N/S, lon, E/W, speed, course, date; from NMEA 2.3 a mode (N: no fix) in 11
        if (field(1) != "A" || field(11) == "N") return noFix();
        fix(timeOfDay(field(0)), coordinate(field(2), field(3), 2, 'N', 'S'), coordinate(field(4), field(5), 3, 'E', 'W'),
            dayOf(field(8)));
    }
}

void NmeaParser::noFix() {
    close();
    if (inFix_) ++segment_;
    inFix_ = false;
}

// GGA and RMC of one moment are one point; a dated sentence dates the fixes around it.
void NmeaParser::fix(double tod, double lat, double lon, long long day) {
    if (std::isnan(tod)) {
        ++out_.skipped.noTime;
        return;
    }
    inFix_ = true;
    if (!(open_ && last_.tod == tod)) {
        close();
        last_ = {tod, lat, lon, -1, segment_};
        open_ = true;
    }
    if (std::isnan(last_.lat) || std::isnan(last_.lon)) last_.lat = lat, last_.lon = lon;
    if (day < 0) return;
    last_.day = day;
    refDay_ = day;
    refTod_ = tod;
    for (Fix& f : undated_) emit(f);
    undated_.clear();
}

void NmeaParser::close() {
    if (!open_) return;
    open_ = false;
    if (last_.day < 0 && refDay_ < 0) undated_.push_back(last_);
    else emit(last_);
}

void NmeaParser::emit(Fix f) {
    if (f.day < 0) {
        // The reference's day, or the one before or after it across midnight.
        f.day = refDay_;
        if (f.tod - refTod_ > kHalfDay) --f.day;
        if (f.tod - refTod_ < -kHalfDay) ++f.day;
    }
    out_.points.push_back({static_cast<double>(f.day) * 86400 + f.tod, NAN, f.lat, f.lon, f.segment});
}

}  // namespace zarn
