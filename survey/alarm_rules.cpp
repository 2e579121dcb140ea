#include "survey/alarm_rules.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "survey/csv_rows.h"
#include "survey/json_writer.h"
#include "survey/log_text.h"

namespace zarn {
namespace {

// The rule's text taken word by word; `at` is where the next one starts.
class RuleText {
public:
    explicit RuleText(std::string_view text) : text_(text) {}

    void skipBlanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) ++at_;
    }
    bool atEnd() {
        skipBlanks();
        return at_ == text_.size();
    }
    size_t column() const { return at_ + 1; }

    std::string_view name() {
        skipBlanks();
        const size_t from = at_;
        while (at_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[at_])) || text_[at_] == '_' ||
                                      text_[at_] == '-'))
            ++at_;
        return text_.substr(from, at_ - from);
    }
    bool take(char c) {
        skipBlanks();
        if (at_ == text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }
    bool word(std::string_view w) {
        skipBlanks();
        if (text_.substr(at_, w.size()) != w) return false;
        const size_t after = at_ + w.size();
        if (after < text_.size() && std::isalpha(static_cast<unsigned char>(text_[after]))) return false;
        at_ = after;
        return true;
    }
    std::optional<double> number() {
        skipBlanks();
        double value = 0;
        const char* begin = text_.data() + at_;
        const char* from = begin + (at_ < text_.size() && text_[at_] == '+');
        const auto [end, problem] = std::from_chars(from, text_.data() + text_.size(), value);
        if (problem != std::errc() || !std::isfinite(value)) return std::nullopt;
        at_ += static_cast<size_t>(end - begin);
        return value;
    }
    char peek() {
        skipBlanks();
        return at_ < text_.size() ? text_[at_] : 0;
    }

private:
    std::string_view text_;
    size_t at_ = 0;
};

uint32_t hzOf(double mhz) { return static_cast<uint32_t>(std::llround(mhz * 1e6)); }

// The rule's parts in order; the reason and the column of the first that is wrong.
bool parse(RuleText& t, AlarmRule& rule, std::string& error, size_t& column) {
    const auto failAt = [&](size_t at, const std::string& why) {
        error = why;
        column = at;
        return false;
    };
    const auto fail = [&](const std::string& why) { return failAt(t.column(), why); };
    // A number within lo..hi, else nullopt with the reason at the number's column.
    const auto numberWithin = [&](double lo, double hi, const char* missing, const char* outside) {
        const size_t at = (t.skipBlanks(), t.column());
        std::optional<double> value = t.number();
        if (!value) {
            fail(missing);
        } else if (!(*value >= lo && *value <= hi)) {
            failAt(at, outside);
            value.reset();
        }
        return value;
    };
    t.skipBlanks();
    rule.name = std::string(t.name());
    if (rule.name.empty()) return fail("a name expected (letters, digits, '_', '-')");
    if (rule.name.size() > kLongestAlarmName) {
        return failAt(t.column() - rule.name.size(), "the name is longer than 22 characters");
    }
    if (!t.take(':')) return fail("':' expected after the name");
    const size_t lowColumn = (t.skipBlanks(), t.column());
    const std::optional<double> low = t.number();
    if (!low) return fail("a frequency in MHz expected");
    std::optional<double> high = low;
    if (t.take(':') && !(high = t.number())) return fail("the upper frequency in MHz expected");
    if (!(*low > 0 && *high < 1e5)) return failAt(lowColumn, "a frequency in MHz expected");
    if (*high < *low) return failAt(lowColumn, "the range is reversed: LOW:HIGH");
    rule.loHz = hzOf(*low);
    rule.hiHz = hzOf(*high);
    if (t.take('>')) rule.above = true;
    else if (t.take('<')) rule.above = false;
    else return fail("'>' or '<' expected");
    const auto dbm = numberWithin(-150, 30, "a level in dBm expected", "the level is outside -150..+30 dBm");
    if (!dbm) return false;
    rule.dbm = *dbm;
    if (!t.word("for")) return fail("'for SECONDS' expected");
    const auto seconds =
        numberWithin(0, 86400, "a duration in seconds expected", "the duration is outside 0 to 86400 seconds");
    if (!seconds) return false;
    rule.seconds = *seconds;
    t.take('s');
    rule.hysteresisDb = 3;
    if (t.word("hysteresis")) {
        const auto db = numberWithin(0, 50, "the hysteresis in dB expected", "the hysteresis is outside 0..50 dB");
        if (!db) return false;
        rule.hysteresisDb = *db;
    }
    if (!t.atEnd()) return fail(t.peek() == '#' ? "a comment has a line of its own" : "unexpected text");
    return true;
}

}  // namespace

std::string AlarmRule::text() const {
    std::string range;
    appendMegahertz(range, loHz);
    if (hiHz != loHz) {
        range += ':';
        appendMegahertz(range, hiHz);
    }
    return name + ": " + range + (above ? " > " : " < ") + numberText(dbm) + " for " + numberText(seconds) +
           " hysteresis " + numberText(hysteresisDb);
}

bool parseAlarmRule(std::string_view text, AlarmRule& rule, std::string& error, size_t& column) {
    RuleText t(text);
    return parse(t, rule, error, column);
}

bool readAlarmRules(const std::string& path, std::vector<AlarmRule>& rules, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        AlarmRule rule;
        std::string why;
        size_t column = 0;
        if (!parseAlarmRule(line, rule, why, column)) {
            error = path + ":" + std::to_string(number) + ":" + std::to_string(column) + ": " + why;
            return false;
        }
        rules.push_back(rule);
    }
    if (in.bad()) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

void appendAlarmJson(const AlarmState& s, std::string& out) {
    JsonWriter j(out);
    j.beginObject();
    j.key("name").text(s.name);
    j.key("rule").text(s.rule);
    j.key("state").text(s.raised ? "ON" : "OFF");
    j.key("changes").number(static_cast<long long>(s.changes));
    j.key("time");
    if (s.time.empty()) j.null();
    else j.text(s.time);
    j.key("mhz");
    if (!s.hz || !appendFrequency(j.rawValue(), s.hz)) j.null();
    j.key("dbm");
    if (s.level) appendDbm(j.rawValue(), static_cast<int16_t>(*s.level));
    else j.null();
    j.endObject();
}

AlarmRules::AlarmRules(std::vector<AlarmRule> rules, uint32_t pcsRaster)
    : levels_(pcsRaster), rules_(std::move(rules)), watches_(rules_.size()) {
    for (const AlarmRule& r : rules_) states_.push_back({r.name, r.text(), false, 0, {}, 0, std::nullopt});
}

std::vector<AlarmChange> AlarmRules::take(const LogRecord& r, double seconds) {
    std::vector<AlarmChange> changes;
    if (rules_.empty()) return changes;
    for (Watch& w : watches_) w.seen = false;
    levels_.forEach(r, [&](const MeasuredLevel& m) {
        for (size_t i = 0; i < rules_.size(); ++i) {
            Watch& w = watches_[i];
            if (!rules_[i].watches(m.hz) || (w.seen && w.level >= m.level)) continue;
            w.seen = true;
            w.level = m.level;
            w.hz = m.hz;
        }
    });
    for (size_t i = 0; i < rules_.size(); ++i) {
        Watch& w = watches_[i];
        if (!w.seen) continue;
        const AlarmRule& rule = rules_[i];
        AlarmState& state = states_[i];
        const double dbm = dbmOfLevel(w.level);
        // Raised, the level must pass the threshold less the hysteresis the other way.
        const bool changing = state.raised ? (rule.above ? dbm < rule.dbm - rule.hysteresisDb
                                                         : dbm > rule.dbm + rule.hysteresisDb)
                                           : (rule.above ? dbm > rule.dbm : dbm < rule.dbm);
        if (!changing) {
            w.since.reset();
            continue;
        }
        if (!w.since) w.since = seconds;
        if (seconds - *w.since < rule.seconds) continue;
        w.since.reset();
        state.raised = !state.raised;
        ++state.changes;
        state.time = isoTime(r.time);
        state.hz = w.hz;
        state.level = w.level;
        changes.push_back({i, state.raised});
    }
    return changes;
}

}  // namespace zarn
