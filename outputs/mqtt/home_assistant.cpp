#include "outputs/mqtt/home_assistant.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

#include "survey/csv_rows.h"
#include "survey/json_writer.h"

namespace zarn {
namespace {

constexpr const char* kPrefix = "homeassistant";
constexpr size_t kMostChannels = 40;

std::string objectName(const std::string& text) {
    std::string out;
    for (char c : text) out += std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' ? c : '_';
    return out;
}

// "_" and 8 lower-case hex digits: the end only a made-up id has.
constexpr size_t kHashEnd = 9;

bool endsLikeHash(const std::string& name) {
    return name.size() >= kHashEnd && name[name.size() - kHashEnd] == '_' &&
           name.find_first_not_of("0123456789abcdef", name.size() - kHashEnd + 1) == std::string::npos;
}

// FNV-1a, 64 bits folded to 32: fixed for good, as the ids made with it must stay.
std::string hashOf(const std::string& text) {
    uint64_t h = 14695981039346656037ull;
    for (const char c : text) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>((h ^ (h >> 32)) & 0xffffffffu));
    return hex;
}

// A site's device: its name where an id may hold it as it is (the ids of earlier
// versions stay); else its name made so, with a hash of the whole name, so that
// "site 1", "site_1" and "site.1" stay three devices.
std::string deviceId(const std::string& site) {
    const std::string plain = objectName(site);
    if (plain == site && !endsLikeHash(site)) return "zarn_" + site;
    return "zarn_" + plain + "_" + hashOf(site);
}

// A record's strongest level, whatever its kind: a sweep's points or its values.
const char* const kStrongestLevel =
    "{% set v = value_json.sweep.dbm if value_json.sweep is defined and value_json.sweep "
    "else (value_json['values'] | default([]) | map(attribute='dbm') | list) %}"
    "{{ v | reject('none') | max | default(none) }}";

class Discovery {
public:
    Discovery(const MqttSettings& s, const RecorderStatus& status)
        : s_(s), node_(deviceId(s.site)), version_(status.version) {}

    void entity(const char* component, const std::string& object, const std::string& name, const std::string& topic,
                const std::string& valueTemplate, void (*extra)(JsonWriter&) = nullptr) {
        std::string payload;
        JsonWriter j(payload);
        j.beginObject();
        j.key("name").text(name);
        j.key("unique_id").text(node_ + "_" + object);
        j.key("object_id").text(node_ + "_" + object);
        j.key("state_topic").text(s_.topicPrefix + "/" + topic);
        j.key("value_template").text(valueTemplate);
        j.key("availability_topic").text(s_.topicPrefix + "/status");
        j.key("availability_template").text("{{ 'online' if value_json.online else 'offline' }}");
        if (extra) extra(j);
        j.key("device").beginObject();
        j.key("identifiers").beginArray().text(node_).endArray();
        j.key("name").text("Zarn " + s_.site);
        j.key("manufacturer").text("Zarn");
        j.key("model").text("zarn-record");
        j.key("sw_version").text(version_);
        j.endObject();
        j.endObject();
        messages.emplace_back(std::string(kPrefix) + "/" + component + "/" + node_ + "/" + object + "/config",
                              std::move(payload));
    }

    std::vector<std::pair<std::string, std::string>> messages;

private:
    const MqttSettings& s_;
    std::string node_, version_;
};

void dbm(JsonWriter& j) {
    j.key("unit_of_measurement").text("dBm");
    j.key("device_class").text("signal_strength");
    j.key("state_class").text("measurement");
}

}  // namespace

std::vector<std::pair<std::string, std::string>> homeAssistantDiscovery(const MqttSettings& s,
                                                                       const RecorderStatus& status) {
    Discovery d(s, status);
    d.entity("binary_sensor", "board", "Board", "status", "{{ 'ON' if value_json.board.up else 'OFF' }}",
             [](JsonWriter& j) { j.key("device_class").text("connectivity"); });
    d.entity("sensor", "level", "Strongest level", "records", kStrongestLevel, dbm);
    // A tuned channel or table slot is the same element of every record's values.
    const std::vector<MeasuredChannel>& channels = status.measurement.channels;
    for (size_t i = 0; i < channels.size() && i < kMostChannels; ++i) {
        std::string mhz;
        if (!appendFrequency(mhz, channels[i].hz)) continue;
        const std::string band = channels[i].band == 0 ? "800" : "1900";
        d.entity("sensor", "level_" + band + "_" + objectName(mhz), mhz + " MHz", "records",
                 "{{ value_json['values'][" + std::to_string(i) + "].dbm }}", dbm);
    }
    if (s.occupancy)
        d.entity("sensor", "occupancy", "Busiest occupancy", "occupancy",
             "{{ (value_json.busiest.occupancy * 100) | round(1) if value_json.busiest else 0 }}", [](JsonWriter& j) {
                 j.key("unit_of_measurement").text("%");
                 j.key("state_class").text("measurement");
             });
    for (const AlarmState& a : status.alarms)
        d.entity("binary_sensor", "alarm_" + objectName(a.name), "Alarm " + a.name, "alarms/" + a.name,
                 "{{ value_json.state }}", [](JsonWriter& j) { j.key("device_class").text("problem"); });
    return std::move(d.messages);
}

}  // namespace zarn
