#pragma once
// MqttSubscriber: a client of the broker under test through libmosquitto, on a thread
// of its own. It keeps every message it receives (topic, payload, QoS, retained), and
// after a lost connection reconnects by itself and subscribes again, so that it sees
// what a program under test publishes across a broker's restart.
//
//   MqttSubscriber sub;
//   ASSERT_TRUE(sub.connect(MqttConnection::to(broker.port()), error)) << error;
//   ASSERT_TRUE(sub.subscribe("zarn/#", error)) << error;
//   auto status = sub.waitForMessage("zarn/site/status", 5s);    // nullopt: none came
//   EXPECT_TRUE(status && status->retained);
//
// Link zarn_test_servers.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace zarn::testing {

struct MqttMessage {
    std::string topic, payload;
    int qos = 0;
    bool retained = false;
};

// MqttConnection::to(port).login("site", "pw").tls(ca, cert, key)
struct MqttConnection {
    std::string host = "127.0.0.1";
    int port = 0;
    std::string user, password;     // empty user: none
    std::string caFile;             // set: TLS, the broker's certificate checked against it and the host
    std::string certFile, keyFile;  // a client certificate, on TLS

    static MqttConnection to(int port, std::string host = "127.0.0.1") {
        MqttConnection c;
        c.port = port;
        c.host = std::move(host);
        return c;
    }
    MqttConnection& login(std::string name, std::string secret) {
        user = std::move(name);
        password = std::move(secret);
        return *this;
    }
    MqttConnection& tls(std::string ca, std::string cert = "", std::string key = "") {
        caFile = std::move(ca);
        certFile = std::move(cert);
        keyFile = std::move(key);
        return *this;
    }
};

class MqttSubscriber {
public:
    MqttSubscriber();
    ~MqttSubscriber();
    MqttSubscriber(const MqttSubscriber&) = delete;
    MqttSubscriber& operator=(const MqttSubscriber&) = delete;

    // Connects and waits for the broker's answer; false with the reason (refused,
    // a certificate that does not verify, nobody listening) otherwise.
    bool connect(const MqttConnection& connection, std::string& error,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Subscribes, now and after every reconnect, and waits for the broker's grant.
    bool subscribe(const std::string& pattern, std::string& error, int qos = 1);
    // With QoS 1 or 2, returns once the broker has taken the message.
    bool publish(const std::string& topic, const std::string& payload, std::string& error, int qos = 1,
                 bool retain = false);
    void disconnect();

    std::vector<MqttMessage> messages() const;
    std::vector<MqttMessage> messages(const std::string& topic) const;
    void clear();
    // Connections made so far: a broker's restart adds one.
    int connections() const;

    // True as soon as enough(messages) holds.
    bool waitFor(const std::function<bool(const std::vector<MqttMessage>&)>& enough, std::chrono::milliseconds timeout);
    // The latest message on `topic`, once there is one.
    std::optional<MqttMessage> waitForMessage(const std::string& topic, std::chrono::milliseconds timeout);

private:
    static void onConnect(mosquitto*, void* self, int rc);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);
    static void onSubscribe(mosquitto*, void* self, int mid, int count, const int* granted);
    static void onLog(mosquitto*, void* self, int level, const char* text);
    static void onDisconnect(mosquitto*, void* self, int rc);
    static void onPublish(mosquitto*, void* self, int mid);

    mosquitto* client_ = nullptr;
    bool looping_ = false;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<MqttMessage> messages_;
    std::vector<std::pair<std::string, int>> patterns_;
    std::set<int> granted_, delivered_;
    int disconnections_ = 0;
    int connections_ = 0;
    int lastConnectResult_ = -1;
    std::string log_;  // libmosquitto's last error line: what TLS refused, say
};

}  // namespace zarn::testing
