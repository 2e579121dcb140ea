#include "testing/servers/mqtt_subscriber.h"

#include <errno.h>
#include <mosquitto.h>

#include <cstring>

namespace zarn::testing {
namespace {

std::string reason(int rc) {
    return rc == MOSQ_ERR_ERRNO ? std::string(std::strerror(errno)) : std::string(mosquitto_strerror(rc));
}

}  // namespace

MqttSubscriber::MqttSubscriber() {
    static std::once_flag initialised;
    std::call_once(initialised, [] { mosquitto_lib_init(); });
    client_ = mosquitto_new(nullptr, true, this);
    mosquitto_connect_callback_set(client_, onConnect);
    mosquitto_message_callback_set(client_, onMessage);
    mosquitto_subscribe_callback_set(client_, onSubscribe);
    mosquitto_log_callback_set(client_, onLog);
    mosquitto_disconnect_callback_set(client_, onDisconnect);
    mosquitto_publish_callback_set(client_, onPublish);
    mosquitto_reconnect_delay_set(client_, 1, 1, false);
}

MqttSubscriber::~MqttSubscriber() {
    disconnect();
    mosquitto_destroy(client_);
}

bool MqttSubscriber::connect(const MqttConnection& connection, std::string& error, std::chrono::milliseconds timeout) {
    if (!connection.user.empty())
        mosquitto_username_pw_set(client_, connection.user.c_str(), connection.password.c_str());
    if (!connection.caFile.empty()) {
        const auto optional = [](const std::string& s) { return s.empty() ? nullptr : s.c_str(); };
        const int rc = mosquitto_tls_set(client_, connection.caFile.c_str(), nullptr, optional(connection.certFile),
                                         optional(connection.keyFile), nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            error = "TLS set-up: " + reason(rc);
            return false;
        }
    }
    {
        std::lock_guard lock(mutex_);
        log_.clear();
        lastConnectResult_ = -1;
        disconnections_ = 0;
    }
    // The TCP connection and a TLS handshake happen here; the broker's answer comes to the loop.
    const int rc = mosquitto_connect(client_, connection.host.c_str(), connection.port, 30);
    if (rc != MOSQ_ERR_SUCCESS) {
        std::lock_guard lock(mutex_);
        error = reason(rc) + (log_.empty() ? "" : " (" + log_ + ")");
        return false;
    }
    mosquitto_loop_start(client_);
    looping_ = true;
    std::unique_lock lock(mutex_);
    // A handshake that the connect call left unfinished fails in the loop, which only logs
    // it; a TLS 1.3 broker refuses a client certificate after the handshake, by closing.
    const bool answered = changed_.wait_for(
        lock, timeout, [&] { return lastConnectResult_ >= 0 || disconnections_ > 0 || !log_.empty(); });
    if (answered && lastConnectResult_ == 0) return true;
    error = !answered                ? std::string("no answer from the broker")
            : lastConnectResult_ > 0 ? std::string("the broker refused: ") + mosquitto_connack_string(lastConnectResult_)
            : !log_.empty()          ? log_
                                     : std::string("the broker closed the connection");
    lock.unlock();
    disconnect();
    return false;
}

bool MqttSubscriber::subscribe(const std::string& pattern, std::string& error, int qos) {
    {
        std::lock_guard lock(mutex_);
        patterns_.emplace_back(pattern, qos);
    }
    int mid = 0;
    const int rc = mosquitto_subscribe(client_, &mid, pattern.c_str(), qos);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = "subscribe " + pattern + ": " + reason(rc);
        return false;
    }
    std::unique_lock lock(mutex_);
    if (changed_.wait_for(lock, std::chrono::seconds(5), [&] { return granted_.count(mid) > 0; })) return true;
    error = "the broker did not grant " + pattern;
    return false;
}

bool MqttSubscriber::publish(const std::string& topic, const std::string& payload, std::string& error, int qos,
                             bool retain) {
    int mid = 0;
    const int rc = mosquitto_publish(client_, &mid, topic.c_str(), static_cast<int>(payload.size()), payload.data(),
                                     qos, retain);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = "publish " + topic + ": " + reason(rc);
        return false;
    }
    if (qos == 0) return true;
    std::unique_lock lock(mutex_);
    if (changed_.wait_for(lock, std::chrono::seconds(5), [&] { return delivered_.count(mid) > 0; })) return true;
    error = "the broker did not take " + topic;
    return false;
}

void MqttSubscriber::disconnect() {
    if (!looping_) return;
    mosquitto_disconnect(client_);
    // Not forced: a thread cancelled inside our callbacks would leave the mutex held.
    mosquitto_loop_stop(client_, false);
    looping_ = false;
}

std::vector<MqttMessage> MqttSubscriber::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<MqttMessage> MqttSubscriber::messages(const std::string& topic) const {
    std::vector<MqttMessage> out;
    for (auto& m : messages())
        if (m.topic == topic) out.push_back(std::move(m));
    return out;
}

void MqttSubscriber::clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
}

int MqttSubscriber::connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

bool MqttSubscriber::waitFor(const std::function<bool(const std::vector<MqttMessage>&)>& enough,
                             std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return enough(messages_); });
}

std::optional<MqttMessage> MqttSubscriber::waitForMessage(const std::string& topic, std::chrono::milliseconds timeout) {
    std::optional<MqttMessage> found;
    waitFor(
        [&](const std::vector<MqttMessage>& all) {
            for (const auto& m : all)
                if (m.topic == topic) found = m;
            return found.has_value();
        },
        timeout);
    return found;
}

void MqttSubscriber::onConnect(mosquitto* client, void* self, int rc) {
    auto* me = static_cast<MqttSubscriber*>(self);
    std::lock_guard lock(me->mutex_);
    me->lastConnectResult_ = rc;
    if (rc == 0) {
        ++me->connections_;
        // A clean session forgets its subscriptions with the connection.
        for (const auto& [pattern, qos] : me->patterns_) mosquitto_subscribe(client, nullptr, pattern.c_str(), qos);
    }
    me->changed_.notify_all();
}

void MqttSubscriber::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* me = static_cast<MqttSubscriber*>(self);
    std::lock_guard lock(me->mutex_);
    const auto* payload = static_cast<const char*>(message->payload);
    me->messages_.push_back({message->topic,
                             payload ? std::string(payload, static_cast<size_t>(message->payloadlen)) : std::string(),
                             message->qos, message->retain});
    me->changed_.notify_all();
}

void MqttSubscriber::onSubscribe(mosquitto*, void* self, int mid, int, const int*) {
    auto* me = static_cast<MqttSubscriber*>(self);
    std::lock_guard lock(me->mutex_);
    me->granted_.insert(mid);
    me->changed_.notify_all();
}

void MqttSubscriber::onPublish(mosquitto*, void* self, int mid) {
    auto* me = static_cast<MqttSubscriber*>(self);
    std::lock_guard lock(me->mutex_);
    me->delivered_.insert(mid);
    me->changed_.notify_all();
}

void MqttSubscriber::onDisconnect(mosquitto*, void* self, int) {
    auto* me = static_cast<MqttSubscriber*>(self);
    std::lock_guard lock(me->mutex_);
    ++me->disconnections_;
    me->changed_.notify_all();
}

void MqttSubscriber::onLog(mosquitto*, void* self, int level, const char* text) {
    if (level != MOSQ_LOG_ERR) return;
    auto* me = static_cast<MqttSubscriber*>(self);
    std::lock_guard lock(me->mutex_);
    me->log_ = text;
    me->changed_.notify_all();
}

}  // namespace zarn::testing
