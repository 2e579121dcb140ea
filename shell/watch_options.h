#pragma once
// zarn-record's options for what it works out and sends as it records: occupancy
// (--occupancy, --threshold, --period), alarms (--alarm, --alarms, --on-alarm,
// --on-alarm-limit) and MQTT (--mqtt or ZARN_MQTT, --mqtt-topic, --mqtt-auth,
// --mqtt-ca, --mqtt-cert, --mqtt-key, --mqtt-insecure-auth, --mqtt-discovery). MQTT names the site
// the options have taken already (record_options.h).
//
// takeWatchOptions checks them all before the board is touched; each mistake is a
// usage error (2) whose message points at it: a rule that does not parse (its
// column, and its line in a rules file), a rule on frequencies the measurement
// does not measure, a threshold outside -150..+30 dBm, a period of 0 or over a
// day, a broker URL that does not parse, an auth or key file that others may
// read, a password that would go in clear to another machine, a CA file or
// client certificate that does not load, an option that
// needs another (--threshold without --occupancy, --on-alarm without a rule,
// --mqtt-topic without a broker).

#include <optional>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "shell/record_options.h"

namespace zarn {

struct WatchGiven {
    bool occupancy = false, discovery = false, insecureAuth = false;
    std::string threshold, period;
    std::vector<std::string> alarms;  // each --alarm
    std::string alarmsFile, onAlarm;
    double onAlarmLimit = 30;
    std::string mqtt, topic, auth, ca, cert, key;
};

std::vector<CommandOption> watchOptions(WatchGiven& given);

// Into `options` (its measurement, the archive and the site already taken); nullopt, or the exit status after the message.
std::optional<int> takeWatchOptions(const WatchGiven& given, RecordOptions& options);
// Occupancy and alarm rules alone: what a task may carry of them.
std::optional<int> takeMeasuredWatchOptions(const WatchGiven& given, RecordOptions& options);

}  // namespace zarn
