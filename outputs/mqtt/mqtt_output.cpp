#include "outputs/mqtt/mqtt_output.h"

#include <mosquitto.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include "outputs/mqtt/home_assistant.h"
#include "survey/alarm_rules.h"
#include "survey/occupancy.h"

namespace zarn {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kKeepAliveSeconds = 30;
constexpr int kMostOutstanding = 1000;
constexpr size_t kKeptAlarms = 256, kKeptPeriods = 16;
constexpr auto kFirstBackoff = 1s, kLongestBackoff = 30s;
constexpr auto kOfflineWait = 3s;
constexpr auto kDisconnectWait = 1s;
constexpr int kLoopMilliseconds = 200;

void initialiseOnce() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

int noPassphrase(char*, int, int, void*) { return 0; }

// The status object with "online" as its first member.
std::string withOnline(bool online, const std::string& status) {
    const std::string head = std::string("{\"online\":") + (online ? "true" : "false");
    if (status.size() <= 2) return head + "}";
    return head + "," + status.substr(1);
}

std::string seconds(std::chrono::seconds s) { return std::to_string(s.count()) + " s"; }

}  // namespace

MqttOutput::MqttOutput(MqttSettings settings, Tell tell) : s_(std::move(settings)), tell_(std::move(tell)) {
    initialiseOnce();
    const std::string id = "zarn-record-" + s_.site + "-" + std::to_string(::getpid());
    client_ = mosquitto_new(id.c_str(), true, this);
    if (!client_) {
        failure_ = "cannot make an MQTT client";  // record() and status() fail the output with it
        return;
    }
    mosquitto_threaded_set(client_, true);
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(client_, onConnect);
    mosquitto_disconnect_callback_set(client_, onDisconnect);
    mosquitto_publish_callback_set(client_, onPublish);
    mosquitto_log_callback_set(client_, onLog);
    if (!s_.user.empty()) mosquitto_username_pw_set(client_, s_.user.c_str(), s_.password.c_str());
    const std::string offline = withOnline(false, "{}");
    mosquitto_will_set(client_, (s_.topicPrefix + "/status").c_str(), static_cast<int>(offline.size()),
                       offline.data(), 1, true);
    if (s_.tls) {
        const auto file = [](const std::string& f) { return f.empty() ? nullptr : f.c_str(); };
        if (s_.caFile.empty()) mosquitto_int_option(client_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        const int rc = mosquitto_tls_set(client_, file(s_.caFile), s_.caFile.empty() ? "/etc/ssl/certs" : nullptr,
                                         file(s_.certFile), file(s_.keyFile), noPassphrase);
        // Without TLS nothing is sent at all, least of all the password.
        if (rc != MOSQ_ERR_SUCCESS) {
            failure_ = std::string("cannot use the TLS files: ") + mosquitto_strerror(rc);
            return;
        }
        mosquitto_tls_opts_set(client_, 1 /* SSL_VERIFY_PEER */, nullptr, nullptr);
        mosquitto_tls_insecure_set(client_, false);  // the broker's name must be its certificate's
    }
    thread_ = std::thread([this] { run(); });
}

MqttOutput::~MqttOutput() {
    cancel();
    if (client_) mosquitto_disconnect(client_);
    if (thread_.joinable()) thread_.join();
    if (client_) mosquitto_destroy(client_);
}

void MqttOutput::say(const std::string& text) {
    if (tell_) tell_("mqtt: " + text);
}

void MqttOutput::run() {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    auto backoff = std::chrono::duration_cast<std::chrono::seconds>(kFirstBackoff);
    while (!stopping()) {
        int rc = mosquitto_connect_async(client_, s_.host.c_str(), s_.port, kKeepAliveSeconds);
        int error = errno;
        bool up = false;
        std::optional<Clock::time_point> stopBy;
        while (rc == MOSQ_ERR_SUCCESS) {
            rc = mosquitto_loop(client_, kLoopMilliseconds, 1);
            error = errno;
            if (takeJustConnected()) connected();
            up = up || connected_;
            std::lock_guard guard(mutex_);
            if (stopping_ && !stopBy) stopBy = Clock::now() + kDisconnectWait;
            if (stopBy && Clock::now() > *stopBy) break;  // a broker that takes no DISCONNECT
        }
        connected_ = false;
        const std::string why = problem(rc, error);
        if (up) backoff = std::chrono::duration_cast<std::chrono::seconds>(kFirstBackoff);
        if (stopping()) break;
        if (why != lastSaid_) {
            say((up ? "lost the broker at " : "cannot connect to ") + s_.url + ": " + why + "; trying again after " +
                seconds(backoff) + ", then up to every " + seconds(kLongestBackoff) +
                (up ? "; records are not sent until it is back, alarms are kept" : "; the recording goes on"));
            lastSaid_ = why;
        }
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, backoff, [this] { return stopping_; });
        backoff = std::min<std::chrono::seconds>(backoff * 2, kLongestBackoff);
    }
}

bool MqttOutput::stopping() const {
    std::lock_guard lock(mutex_);
    return stopping_;
}

bool MqttOutput::takeJustConnected() {
    std::lock_guard lock(events_);
    return std::exchange(justConnected_, false);
}

std::string MqttOutput::problem(int rc, int error) const {
    std::lock_guard lock(events_);
    switch (rc) {
    case MOSQ_ERR_TLS: {
        std::string reason = lastLog_;
        if (const size_t colons = reason.rfind("::"); colons != std::string::npos) reason = reason.substr(colons + 2);
        if (reason.find("certificate verify failed") != std::string::npos)
            reason += " (the broker's certificate is not signed by " +
                      (s_.caFile.empty() ? std::string("a CA of the system") : "--mqtt-ca " + s_.caFile) +
                      " or does not name " + s_.host + ")";
        return "TLS: " + (reason.empty() ? std::string("the handshake failed") : reason);
    }
    case MOSQ_ERR_EAI: return "cannot look up " + s_.host;
    case MOSQ_ERR_CONN_REFUSED:
    case MOSQ_ERR_AUTH:
    case MOSQ_ERR_NOT_SUPPORTED:
        return lastLog_.empty() ? mosquitto_strerror(rc) : lastLog_;
    case MOSQ_ERR_ERRNO: return std::strerror(error);
    case MOSQ_ERR_CONN_LOST:
    case MOSQ_ERR_NO_CONN: return lastLog_.empty() ? "the connection was closed" : lastLog_;
    default: return mosquitto_strerror(rc);
    }
}

void MqttOutput::onLog(mosquitto*, void* self, int level, const char* text) {
    if (!(level & MOSQ_LOG_ERR) || !text) return;
    auto* out = static_cast<MqttOutput*>(self);
    std::lock_guard lock(out->events_);
    out->lastLog_ = text;
}

void MqttOutput::onConnect(mosquitto*, void* self, int rc) {
    auto* out = static_cast<MqttOutput*>(self);
    std::lock_guard lock(out->events_);
    if (rc != 0) out->lastLog_ = std::string("the broker refused the connection: ") + mosquitto_connack_string(rc);
    else out->justConnected_ = true;
}

void MqttOutput::onDisconnect(mosquitto*, void* self, int) {
    auto* out = static_cast<MqttOutput*>(self);
    out->connected_ = false;
    std::lock_guard lock(out->events_);
    out->acknowledged_.notify_all();
}

void MqttOutput::onPublish(mosquitto*, void* self, int mid) {
    auto* out = static_cast<MqttOutput*>(self);
    if (out->outstanding_.fetch_sub(1) <= 0) out->outstanding_ = 0;
    std::lock_guard lock(out->events_);
    if (!out->finishing_) return;
    out->acked_.insert(mid);
    out->acknowledged_.notify_all();
}

// After a connection's acknowledgement, and after libmosquitto has sent again what the
// last connection left unacknowledged: the status, what was kept while away, every
// other rule's state (so that nothing sent again stays the last word), the discovery.
void MqttOutput::connected() {
    {
        std::lock_guard lock(mutex_);
        connected_ = true;
        outstanding_ = 0;  // what a lost connection had not written out is gone
        if (!statusJson_.empty()) publish(s_.topicPrefix + "/status", statusJson_, 1, true);
        std::set<std::string> changedWhileAway;
        for (const Message& m : keptAlarms_) {
            changedWhileAway.insert(m.topic);
            publish(m.topic, m.payload, 1, true);
        }
        for (const auto& [name, state] : alarms_)
            if (!changedWhileAway.count(s_.topicPrefix + "/alarms/" + name))
                publish(s_.topicPrefix + "/alarms/" + name, state, 1, true);
        for (const Message& m : keptPeriods_) publish(m.topic, m.payload, 1, true);
        keptAlarms_.clear();
        keptPeriods_.clear();
        if (s_.discovery && lastStatus_)
            for (const auto& [topic, payload] : homeAssistantDiscovery(s_, *lastStatus_)) publish(topic, payload, 1, true);
    }
    {
        std::lock_guard lock(events_);
        lastLog_.clear();
    }
    say("connected to " + s_.url + ", publishing under " + s_.topicPrefix + "/" +
        (unsent_ ? " (" + std::to_string(unsent_.load()) + " records not sent so far)" : ""));
    lastSaid_.clear();
}

bool MqttOutput::publish(const std::string& topic, const std::string& payload, int qos, bool retain, int* mid) {
    const int rc = mosquitto_publish(client_, mid, topic.c_str(), static_cast<int>(payload.size()), payload.data(),
                                     qos, retain);
    if (rc != MOSQ_ERR_SUCCESS) return false;
    ++outstanding_;
    return true;
}

void MqttOutput::record(const OutputRecord& r) {
    if (!failure_.empty()) throw std::runtime_error(failure_);
    if (!connected_ || outstanding_ >= kMostOutstanding) {
        ++unsent_;
        return;
    }
    if (!json_) json_.emplace(r.pcsRaster);
    text_.clear();
    json_->append(r.record(), text_);
    if (!publish(s_.topicPrefix + "/records", text_, 0, false)) ++unsent_;
}

// With the lock held: sent at once when connected, else kept for the next connection,
// the oldest dropped past `most`.
void MqttOutput::keepOrSend(std::deque<Message>& kept, size_t most, const char* what, Message message) {
    if (connected_) {
        publish(message.topic, message.payload, 1, true);
        return;
    }
    kept.push_back(std::move(message));
    if (kept.size() <= most) return;
    kept.pop_front();
    say(std::string("the broker has been away for more than ") + std::to_string(most) + " " + what +
        ": the oldest is dropped");
}

// Published under the lock, so that a connection's own messages (connected()) and these
// keep their order.
void MqttOutput::status(const RecorderStatus& s) {
    if (!failure_.empty()) throw std::runtime_error(failure_);
    std::string json;
    appendStatusJson(s, json);
    std::lock_guard lock(mutex_);
    statusJson_ = withOnline(true, json);
    const bool discoveryDue = s_.discovery && !lastStatus_;
    lastStatus_ = s;
    if (connected_) publish(s_.topicPrefix + "/status", statusJson_, 1, true);
    if (connected_ && discoveryDue)
        for (const auto& [topic, payload] : homeAssistantDiscovery(s_, s)) publish(topic, payload, 1, true);
    for (const AlarmState& a : s.alarms) {
        const auto seen = alarmChanges_.find(a.name);
        if (seen != alarmChanges_.end() && seen->second == a.changes) continue;
        std::string state;
        appendAlarmJson(a, state);
        alarms_[a.name] = state;
        alarmChanges_[a.name] = a.changes;
        // A state no rule has changed yet goes out with each connection; a change is kept for one.
        if (a.changes) keepOrSend(keptAlarms_, kKeptAlarms, "alarm changes", {s_.topicPrefix + "/alarms/" + a.name, state});
        else if (connected_) publish(s_.topicPrefix + "/alarms/" + a.name, state, 1, true);
    }
    if (s.occupancy && lastPeriod_ != s.occupancy->start) {
        lastPeriod_ = s.occupancy->start;
        Message period{s_.topicPrefix + "/occupancy", {}};
        appendOccupancyJson(*s.occupancy, period.payload);
        keepOrSend(keptPeriods_, kKeptPeriods, "occupancy periods", std::move(period));
    }
}

void MqttOutput::finish() {
    if (!failure_.empty()) return;
    std::unique_lock lock(mutex_);
    std::string last = "{}";
    if (lastStatus_) {
        last.clear();
        appendStatusJson(*lastStatus_, last);
    }
    int mid = 0;
    bool sent = false;
    if (connected_) {
        {
            // The broker's acknowledgement may come before publish() returns: every one is kept from now on.
            std::lock_guard events(events_);
            finishing_ = true;
        }
        sent = publish(s_.topicPrefix + "/status", withOnline(false, last), 1, true, &mid);
    }
    lock.unlock();
    if (sent) {
        std::unique_lock events(events_);
        acknowledged_.wait_for(events, kOfflineWait,
                               [&] { return acked_.count(mid) || cancelled_ || !connected_; });
    }
    lock.lock();
    stopping_ = true;
    lock.unlock();
    changed_.notify_all();
    mosquitto_disconnect(client_);
    if (thread_.joinable()) thread_.join();
}

void MqttOutput::cancel() {
    cancelled_ = true;
    {
        std::lock_guard lock(events_);
        acknowledged_.notify_all();
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
}

OutputHealth MqttOutput::health() const {
    return {unsent_.load(), failure_.empty() ? std::optional(connected_.load()) : std::nullopt};
}

}  // namespace zarn
