#pragma once
// MqttOutput: a recorder's records, status, alarms and occupancy published to an
// MQTT broker through libmosquitto, an output of the record fan-out.
//
// Topics under PREFIX (mqtt_settings.h):
//   PREFIX/status        retained, QoS 1: the recorder's status JSON with "online":true
//                        first (survey/recorder_status.h); the last will, and a clean
//                        end, set it to {"online":false,...}
//   PREFIX/records       QoS 0: each record's JSON (survey/record_json.h)
//   PREFIX/alarms/NAME   retained, QoS 1: each change of the rule's state (alarm_rules.h)
//   PREFIX/occupancy     retained, QoS 1: each period's figures with their rows (occupancy.h)
// With discovery, Home Assistant's configurations (home_assistant.h) on each connection.
//
// - The connection lives on a thread of its own: connecting, reconnecting after
//   a loss with a backoff (1 s doubled up to 30 s), and libmosquitto's loop. On
//   each connection the status, every alarm's state, the changes and periods
//   made while the broker was away (in order), and the discovery go out again.
// - record() and status() never wait on the broker: a record that finds the
//   broker away, or more than 1000 messages not yet written out, is dropped and
//   counted (health()); alarm changes and periods are kept while it is away (the
//   last 256 changes and 16 periods; older ones are dropped and said).
// - `tell` gets what a user should know, once per change: connected, lost (and
//   why), a connection refused (and why: a certificate that does not verify, a
//   login the broker refuses, nobody listening). It is called from the output's
//   threads.
// - finish(): the status goes out with "online":false and is waited for (up
//   to 3 s), then a clean disconnect. cancel() ends that wait at once.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "outputs/mqtt/mqtt_settings.h"
#include "outputs/record_fanout.h"
#include "survey/record_json.h"

struct mosquitto;

namespace zarn {

class MqttOutput : public RecordOutput {
public:
    using Tell = std::function<void(const std::string&)>;
    MqttOutput(MqttSettings settings, Tell tell);
    ~MqttOutput() override;
    MqttOutput(const MqttOutput&) = delete;
    MqttOutput& operator=(const MqttOutput&) = delete;

    void record(const OutputRecord& r) override;
    void status(const RecorderStatus& s) override;
    void finish() override;
    void cancel() override;
    OutputHealth health() const override;

private:
    struct Message {
        std::string topic, payload;
    };

    static void onConnect(mosquitto*, void* self, int rc);
    static void onDisconnect(mosquitto*, void* self, int rc);
    static void onPublish(mosquitto*, void* self, int mid);
    static void onLog(mosquitto*, void* self, int level, const char* text);

    void run();
    bool takeJustConnected();
    void connected();
    bool publish(const std::string& topic, const std::string& payload, int qos, bool retain, int* mid = nullptr);
    void keepOrSend(std::deque<Message>& kept, size_t most, const char* what, Message message);
    std::string problem(int rc, int error) const;
    bool stopping() const;
    void say(const std::string& text);

    const MqttSettings s_;
    const Tell tell_;
    mosquitto* client_ = nullptr;
    std::string failure_;  // set when the client could not be made as the settings ask
    std::thread thread_;

    // The state and the order of what is published: status() and connected() publish under it.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> connected_{false};
    std::atomic<uint64_t> unsent_{0};
    std::atomic<int> outstanding_{0};
    std::string statusJson_;                     // the last status, with "online":true
    std::optional<RecorderStatus> lastStatus_;   // for the discovery
    std::map<std::string, std::string> alarms_;  // each rule's last state
    std::map<std::string, uint64_t> alarmChanges_;
    std::optional<long long> lastPeriod_;
    std::deque<Message> keptAlarms_, keptPeriods_;

    // What libmosquitto's callbacks tell, on the connection's thread: never held while publishing.
    mutable std::mutex events_;
    std::condition_variable acknowledged_;
    bool justConnected_ = false;
    bool finishing_ = false;
    std::set<int> acked_;  // while finishing: the messages the broker took
    std::string lastLog_;  // libmosquitto's last error line: what TLS refused

    std::string lastSaid_;  // on the connection's thread: a retry that fails alike is not said again
    std::optional<RecordJson> json_;
    std::string text_;
};

}  // namespace zarn
