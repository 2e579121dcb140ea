#pragma once
// RecordWatch: what zarn-record works out from each record as it is written: the
// occupancy of the period under way (survey/occupancy.h) and the alarm rules
// (survey/alarm_rules.h), with the lines they give on stderr.
//
//  - take(record, seconds): the rules' raises and clears, and the period the
//    record ended, if any. `seconds` on a steady clock: when the record came.
//  - finish(): the period under way at the end.
//  - alarmLine(), periodLine(): what stderr (the journal) is told:
//      ALARM hot ON: 881.52 MHz at -55.5 dBm, above -70 dBm for 10 s (2024-05-14T11:00:12)
//      occupancy 2024-05-14T11:00:00 for 15m, threshold noise+10 (floor 800 -110.5 dBm): 833 places,
//      busiest 881.52 MHz 93.0 %, 12 over 50 %

#include <optional>
#include <string>
#include <vector>

#include "recording/log_reader.h"
#include "survey/alarm_rules.h"
#include "survey/occupancy.h"
#include "shell/record_options.h"

namespace zarn {

struct WatchChanges {
    std::vector<AlarmChange> alarms;
    std::optional<OccupancyPeriod> period;
    bool any() const { return !alarms.empty() || period; }
};

class RecordWatch {
public:
    explicit RecordWatch(const RecordOptions& options);
    WatchChanges take(const LogRecord& r, double seconds);
    std::optional<OccupancyPeriod> finish();

    const std::vector<AlarmRule>& rules() const { return alarms_.rules(); }
    const std::vector<AlarmState>& alarms() const { return alarms_.states(); }
    const std::optional<OccupancyPeriod>& lastPeriod() const { return last_; }

    std::string alarmLine(const AlarmChange& change) const;
    static std::string periodLine(const OccupancyPeriod& period);
    // The note the change gives the log's next record: "ALARM NAME ON" or "ALARM NAME OFF".
    std::string note(const AlarmChange& change) const;

private:
    std::optional<OccupancyCounter> occupancy_;
    AlarmRules alarms_;
    std::optional<OccupancyPeriod> last_;
};

}  // namespace zarn
