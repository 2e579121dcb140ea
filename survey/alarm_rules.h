#pragma once
// Alarm rules over the levels of records as they come, for a recorder that
// tells when something appears or goes.
//
// A rule, as written on a command line or a line of a rules file:
//   NAME: MHZ[:MHZ] > DBM for SECONDS [hysteresis DB]
//   hot: 881.52 > -70 for 10
//   quiet-1900: 1930:1990 < -100 for 60 hysteresis 5
// - NAME: letters, digits, '_' and '-', at most 22 (its note "ALARM NAME OFF"
//   fits a record's 32 bytes, and it is a topic level of its own).
// - MHZ or LOW:HIGH: the frequencies watched (inclusive, to the Hz); the
//   strongest level of a record among them is the rule's level.
// - > or <, DBM (-150..+30), SECONDS (0 to a day), hysteresis in dB (0..50,
//   default 3).
// A `>` rule raises when its level has been above DBM in every record for
// SECONDS (the first such record to the one that completes them), and clears
// when it has been below DBM minus the hysteresis as long; a `<` rule the
// other way round. A record that measures none of the rule's frequencies
// leaves it as it is.
// Times are the caller's seconds on a steady clock: when each record came.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recording/log_reader.h"
#include "survey/record_levels.h"

namespace zarn {

constexpr size_t kLongestAlarmName = 22;

struct AlarmRule {
    std::string name;
    uint32_t loHz = 0, hiHz = 0;
    bool above = true;  // '>'; false: '<'
    double dbm = 0;
    double seconds = 0;
    double hysteresisDb = 3;
    std::string text() const;  // written out again: "hot: 881.52 > -70 for 10 hysteresis 3"
    bool watches(uint32_t hz) const { return hz >= loHz && hz <= hiHz; }
};

// False with the reason and its column (counted from 1) when the text is no rule.
bool parseAlarmRule(std::string_view text, AlarmRule& rule, std::string& error, size_t& column);
// One rule a line; blank lines and lines that begin with '#' are skipped. False
// with "PATH:LINE:COLUMN: reason" (or the reason the file cannot be read).
bool readAlarmRules(const std::string& path, std::vector<AlarmRule>& rules, std::string& error);

// A rule's state for the recorder's status and the messages sent of it.
//   {"name":"hot","rule":"hot: 881.52 > -70 for 10 hysteresis 3","state":"ON",
//    "changes":1,"time":"2024-05-14T11:00:12","mhz":881.52,"dbm":-55.5}
// time, mhz and dbm: the record that made the last change, null before one.
struct AlarmState {
    std::string name, rule;
    bool raised = false;
    uint64_t changes = 0;
    std::string time;  // ISO 8601 on the device's clock; empty before a change
    uint32_t hz = 0;
    std::optional<int> level;  // 1/16 dB
};
void appendAlarmJson(const AlarmState& state, std::string& out);

struct AlarmChange {
    size_t rule = 0;  // its index among the rules given
    bool raised = false;
};

class AlarmRules {
public:
    AlarmRules(std::vector<AlarmRule> rules, uint32_t pcsRaster);
    // Takes a record that came at `seconds`; the rules it raised or cleared, in rule order.
    std::vector<AlarmChange> take(const LogRecord& r, double seconds);
    const std::vector<AlarmRule>& rules() const { return rules_; }
    const std::vector<AlarmState>& states() const { return states_; }

private:
    struct Watch {
        std::optional<double> since;  // when the record began that the change waits on
        int level = 0;                // the strongest level of the record under way
        uint32_t hz = 0;
        bool seen = false;
    };

    RecordLevels levels_;
    std::vector<AlarmRule> rules_;
    std::vector<AlarmState> states_;
    std::vector<Watch> watches_;
};

}  // namespace zarn
