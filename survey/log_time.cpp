#include "survey/log_time.h"

#include <cstdio>
#include <ctime>

namespace zarn {
namespace {

std::tm tmOf(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

}  // namespace

std::optional<long long> parseStamp(const std::string& text) {
    // Digits where the pattern has 9, the rest as written.
    static const std::string kPattern = "9999-99-99T99:99:99";
    if (text.size() != 16 && text.size() != 19) return std::nullopt;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i], want = kPattern[i];
        const bool fits = want == '9' ? c >= '0' && c <= '9' : want == 'T' ? c == 'T' || c == ' ' : c == want;
        if (!fits) return std::nullopt;
    }
    const auto number = [&](size_t at, size_t digits) { return std::stoi(text.substr(at, digits)); };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2), hour = number(11, 2),
              minute = number(14, 2), second = text.size() == 19 ? number(17, 2) : 0;
    std::tm tm = tmOf(year, month, day, hour, minute, second);
    const long long s = static_cast<long long>(timegm(&tm));
    // timegm moves 31 June on to 1 July: only a time it keeps as given is one.
    if (tm.tm_mon != month - 1 || tm.tm_mday != day || tm.tm_hour != hour || tm.tm_min != minute ||
        tm.tm_sec != second)
        return std::nullopt;
    return s;
}

std::optional<int> parseUtcOffset(const std::string& text) {
    const bool sign = !text.empty() && (text[0] == '+' || text[0] == '-');
    std::string digits;
    for (size_t i = 1; sign && i < text.size(); ++i)
        if (text[i] >= '0' && text[i] <= '9') digits += text[i];
        else if (text[i] != ':' || i != 3) return std::nullopt;
    const bool colon = text.size() == 6 && text[3] == ':';
    if (!sign || !(digits.size() == 2 || (digits.size() == 4 && (colon || text.size() == 5)))) return std::nullopt;
    const int hours = std::stoi(digits.substr(0, 2)), minutes = digits.size() == 4 ? std::stoi(digits.substr(2)) : 0;
    if (minutes > 59 || hours * 60 + minutes > 14 * 60) return std::nullopt;
    const int seconds = hours * 3600 + minutes * 60;
    return text[0] == '-' ? -seconds : seconds;
}

LocalTime stampTime(long long stamp) {
    const std::time_t asUtc = static_cast<std::time_t>(stamp);
    std::tm t{};
    gmtime_r(&asUtc, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

int localZoneOffset(long long stamp) {
    const std::time_t asUtc = static_cast<std::time_t>(stamp);
    std::tm t{};
    gmtime_r(&asUtc, &t);
    t.tm_isdst = -1;  // the zone's rules say whether summer time applies
    const std::time_t moment = std::mktime(&t);
    return static_cast<int>(stamp - static_cast<long long>(moment));
}

}  // namespace zarn
