#include "shell/watch_options.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "board/board_state.h"
#include "outputs/mqtt/mqtt_settings.h"
#include "screens/measurement_settings.h"
#include "survey/csv_rows.h"
#include "survey/recorder_status.h"
#include "zarn_version.h"

namespace zarn {
namespace {


int usage(const std::string& problem) { return recordUsage(problem); }

std::string mhz(uint32_t hz) {
    std::string text;
    appendMegahertz(text, hz);
    return text;
}

// The frequencies the measurement will measure, and how to say them.
struct Planned {
    std::vector<uint32_t> hz;
    std::string said;
};

// Worked out on a board state of its own, as the session will set up the real one.
Planned plannedMeasurement(const RecordOptions& o) {
    auto board = std::make_unique<BoardState>();
    board->pcsPlan.setPcsRaster(o.pcsRaster);
    Planned p;
    if (o.mode == kModeSingleChannel || o.mode == kModeChannelTable) {
        if (o.mode == kModeSingleChannel) applySingleChannelSettings(*board, o.single);
        board->channelTableCount = boardState().channelTableCount;
        std::copy(std::begin(boardState().channelTable), std::end(boardState().channelTable), board->channelTable);
        board->setScreenMode(o.mode);
        for (const MeasuredChannel& c : measurementOf(*board).channels)
            if (c.hz) {
                p.hz.push_back(c.hz);
                p.said += (p.said.empty() ? "" : ", ") + mhz(c.hz);
            }
        p.said = "it measures " + p.said + " MHz";
        return p;
    }
    if (o.mode == kModeSpectrum) applySpectrumSettings(*board, o.spectrum);
    else applyServerSettings(*board, o.serverBand, -1);
    const BandPlan* plan = board->bandPlan(board->bandIndex);
    for (uint32_t k = 0; plan && k < board->sweepCount; ++k)
        if (const uint32_t hz = plan->offsetToFrequency(board->sweepStart + k * board->sweepStep)) p.hz.push_back(hz);
    if (p.hz.size() > 1)
        p.said = "it sweeps " + mhz(p.hz.front()) + " to " + mhz(p.hz.back()) + " MHz every " +
                 mhz(p.hz[1] - p.hz[0]) + " MHz";
    return p;
}

// The rule's text and a caret under the column, for a message.
std::string pointedAt(const std::string& text, size_t column) {
    return "\n  " + text + "\n  " + std::string(column > 0 ? column - 1 : 0, ' ') + "^";
}

std::optional<int> takeAlarms(const WatchGiven& g, RecordOptions& o) {
    for (const std::string& text : g.alarms) {
        AlarmRule rule;
        std::string error;
        size_t column = 0;
        if (!parseAlarmRule(text, rule, error, column))
            return usage("--alarm: column " + std::to_string(column) + ": " + error + pointedAt(text, column));
        o.alarms.push_back(rule);
    }
    if (!g.alarmsFile.empty()) {
        std::string error;
        if (!readAlarmRules(g.alarmsFile, o.alarms, error)) return usage("--alarms " + error);
    }
    for (size_t i = 0; i < o.alarms.size(); ++i)
        for (size_t k = 0; k < i; ++k)
            if (o.alarms[k].name == o.alarms[i].name) return usage("two alarm rules are named " + o.alarms[i].name);
    if (o.alarms.empty()) return std::nullopt;
    const Planned planned = plannedMeasurement(o);
    for (const AlarmRule& rule : o.alarms)
        if (std::none_of(planned.hz.begin(), planned.hz.end(), [&](uint32_t hz) { return rule.watches(hz); }))
            return usage("alarm " + rule.name + ": the measurement measures nothing in " + mhz(rule.loHz) +
                         (rule.hiHz != rule.loHz ? ":" + mhz(rule.hiHz) : "") + " MHz; " + planned.said);
    return std::nullopt;
}

// A program run as it is named: a path, or a name looked up in PATH as exec does.
std::optional<int> takeOnAlarm(const WatchGiven& g, RecordOptions& o) {
    if (g.onAlarm.empty()) return std::nullopt;
    if (o.alarms.empty()) return usage("--on-alarm needs a rule: --alarm or --alarms");
    std::vector<std::string> candidates;
    if (g.onAlarm.find('/') != std::string::npos) {
        candidates.push_back(g.onAlarm);
    } else {
        std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
        for (std::string dir; std::getline(path, dir, ':');) candidates.push_back((dir.empty() ? "." : dir) + "/" + g.onAlarm);
    }
    for (const std::string& c : candidates) {
        struct stat st {};
        if (::stat(c.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(c.c_str(), X_OK) == 0) {
            o.onAlarm = c;
            o.onAlarmLimit = g.onAlarmLimit;
            return std::nullopt;
        }
    }
    return usage("--on-alarm " + g.onAlarm + ": no program of that name may be run" +
                 (g.onAlarm.find('/') != std::string::npos ? "" : " (looked in PATH)"));
}

std::optional<int> takeOccupancy(const WatchGiven& g, RecordOptions& o) {
    if (!g.occupancy) {
        if (!g.threshold.empty()) return usage("--threshold is for --occupancy");
        if (!g.period.empty()) return usage("--period is for --occupancy");
        return std::nullopt;
    }
    o.occupancy = true;
    std::string error;
    if (!g.threshold.empty() && !parseOccupancyThreshold(g.threshold, o.threshold, error))
        return usage("--threshold " + error);
    if (!g.period.empty() && !parsePeriod(g.period, o.periodSeconds, error)) return usage("--period " + error);
    return std::nullopt;
}

std::optional<int> takeMqtt(const WatchGiven& g, RecordOptions& o) {
    std::string url = g.mqtt;
    if (url.empty() && std::getenv("ZARN_MQTT")) url = std::getenv("ZARN_MQTT");
    if (url.empty()) {
        for (const auto& [name, value] : {std::pair{"--mqtt-topic", &g.topic}, {"--mqtt-auth", &g.auth},
                                           {"--mqtt-ca", &g.ca}, {"--mqtt-cert", &g.cert}, {"--mqtt-key", &g.key}})
            if (!value->empty()) return usage(std::string(name) + " needs a broker: --mqtt URL or ZARN_MQTT");
        if (g.discovery) return usage("--mqtt-discovery needs a broker: --mqtt URL or ZARN_MQTT");
        if (g.insecureAuth) return usage("--mqtt-insecure-auth needs a broker: --mqtt URL or ZARN_MQTT");
        return std::nullopt;
    }
    MqttSettings s;
    std::string error;
    if (!parseBrokerUrl(url, s, error)) return usage((g.mqtt.empty() ? "ZARN_MQTT " : "--mqtt ") + error);
    s.site = o.site;
    if (s.site.find_first_of("/+#") != std::string::npos)
        return usage(o.siteFrom + " '" + s.site + "' has '/', '+' or '#' in it: it is one topic level");
    s.topicPrefix = g.topic.empty() ? "zarn/" + s.site : g.topic;
    if (!checkTopicPrefix(s.topicPrefix, error)) return usage("--mqtt-topic " + error);
    if (!g.auth.empty() && !readMqttAuth(g.auth, s, error)) return usage(error);
    if (!checkPasswordInClear(s, g.insecureAuth, error)) return usage(error);
    s.caFile = g.ca;
    s.certFile = g.cert;
    s.keyFile = g.key;
    if (!s.tls && !(g.ca.empty() && g.cert.empty() && g.key.empty()))
        return usage("--mqtt-ca, --mqtt-cert and --mqtt-key are for an mqtts:// broker, not " + url);
    if (s.tls && !checkTls(s, error)) return usage(error);
    s.discovery = g.discovery;
    s.occupancy = o.occupancy;
    s.version = kZarnVersion;
    o.mqtt = s;
    return std::nullopt;
}

}  // namespace

std::vector<CommandOption> watchOptions(WatchGiven& g) {
    return {
        flagOption("occupancy", 0, "work out occupancy per period: on stderr, in the status\nand over MQTT",
                   g.occupancy),
        textOption("threshold", 0, "DBM|noise+DB",
                   "occupancy's threshold: a level, or DB over the band's\nnoise floor (default noise+10)", g.threshold),
        textOption("period", 0, "N[s|m|h]", "occupancy's period, 1 s to a day (default 15m)", g.period),
        {"alarm", 0, "RULE",
         "an alarm rule, 'NAME: MHZ[:MHZ] > DBM for SECONDS'\n(or <, [hysteresis DB]); repeatable",
         [&g](const char* value) {
             g.alarms.emplace_back(value);
             return std::string();
         }},
        textOption("alarms", 0, "FILE", "alarm rules, one a line ('#' comments)", g.alarmsFile),
        textOption("on-alarm", 0, "PROGRAM",
                   "run PROGRAM at each raise and clear, with ZARN_ALARM_*\nin its environment (no shell)", g.onAlarm),
        numberOption("on-alarm-limit", 0, "S", "kill an --on-alarm run after S seconds (default 30)", g.onAlarmLimit,
                     1, 3600),
        textOption("mqtt", 0, "URL", "publish to an MQTT broker: mqtt://HOST[:PORT] or\nmqtts://HOST[:PORT]",
                   g.mqtt),
        textOption("mqtt-topic", 0, "PREFIX", "the topics' prefix (default zarn/SITE)", g.topic),
        textOption("mqtt-auth", 0, "FILE", "the broker's user name and password, a line each\n(mode 600)", g.auth),
        textOption("mqtt-ca", 0, "FILE", "the CA certificates that sign the broker's (mqtts://;\ndefault the system's)",
                   g.ca),
        textOption("mqtt-cert", 0, "FILE", "a client certificate for the broker (mqtts://)", g.cert),
        textOption("mqtt-key", 0, "FILE", "its key (mode 600, no passphrase)", g.key),
        flagOption("mqtt-insecure-auth", 0,
                   "send --mqtt-auth's password over plain mqtt:// to\nanother machine (a network you trust)",
                   g.insecureAuth),
        flagOption("mqtt-discovery", 0, "publish Home Assistant discovery (homeassistant/...)", g.discovery),
    };
}

std::optional<int> takeMeasuredWatchOptions(const WatchGiven& g, RecordOptions& o) {
    if (const auto status = takeOccupancy(g, o)) return status;
    return takeAlarms(g, o);
}

std::optional<int> takeWatchOptions(const WatchGiven& g, RecordOptions& o) {
    if (const auto status = takeMeasuredWatchOptions(g, o)) return status;
    if (const auto status = takeOnAlarm(g, o)) return status;
    return takeMqtt(g, o);
}

}  // namespace zarn
