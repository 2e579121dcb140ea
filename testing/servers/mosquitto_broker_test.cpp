// The mosquitto fixture: a retained message for a later subscriber, passwords, clients
// that come back after the broker's crash and restart, and TLS that trusts only its CA.
#include <gtest/gtest.h>

#include "testing/servers/mosquitto_broker.h"
#include "testing/servers/mqtt_subscriber.h"
#include "testing/servers/wait_until.h"

namespace zarn::testing {
namespace {

using namespace std::chrono_literals;

TEST(MosquittoBrokerTest, ARetainedMessageReachesALaterSubscriberAndClientsComeBackAfterAKill) {
    MosquittoOptions options;
    options.users = {{"site", "s3:cret"}};
    MosquittoBroker broker(options);
    std::string error;
    ASSERT_TRUE(broker.start(error)) << error;
    const MqttConnection site = MqttConnection::to(broker.port()).login("site", "s3:cret");

    MqttSubscriber stranger;
    EXPECT_FALSE(stranger.connect(MqttConnection::to(broker.port()), error));
    EXPECT_NE(error.find("refused"), std::string::npos) << error;

    MqttSubscriber publisher, sub;
    ASSERT_TRUE(publisher.connect(site, error)) << error;
    ASSERT_TRUE(publisher.publish("zarn/a/status", "{\"online\":true}", error, 1, true)) << error;
    ASSERT_TRUE(sub.connect(site, error)) << error;
    ASSERT_TRUE(sub.subscribe("zarn/#", error)) << error;
    const auto status = sub.waitForMessage("zarn/a/status", 5s);
    ASSERT_TRUE(status) << broker.log();
    EXPECT_EQ(status->payload, "{\"online\":true}");
    EXPECT_TRUE(status->retained);

    const int port = broker.port();
    broker.kill();
    ASSERT_TRUE(broker.start(error)) << error;
    EXPECT_EQ(broker.port(), port);
    ASSERT_TRUE(waitUntil([&] { return sub.connections() == 2 && publisher.connections() == 2; }, 10s))
        << broker.log();
    // The subscription is renewed a moment after the connection: publish until it is.
    ASSERT_TRUE(waitUntil(
        [&] {
            publisher.publish("zarn/a/records", "{}", error, 0);
            return sub.waitFor([](const auto& all) { return all.back().topic == "zarn/a/records"; }, 100ms);
        },
        10s))
        << broker.log();
    EXPECT_FALSE(sub.messages("zarn/a/records").front().retained);
}

TEST(MosquittoBrokerTest, TlsConnectsWithTheTestCaAndIsRefusedWithAnother) {
    MosquittoOptions options;
    options.tls = true;
    options.requireClientCertificate = true;
    MosquittoBroker broker(options);
    std::string error;
    ASSERT_TRUE(broker.start(error)) << error;
    const TestCertificates& tls = broker.certificates();
    const auto byName = [&] { return MqttConnection::to(broker.tlsPort(), "localhost"); };

    MqttSubscriber good;
    EXPECT_TRUE(good.connect(byName().tls(tls.caFile, tls.clientCert, tls.clientKey), error)) << error << broker.log();
    MqttSubscriber byAddress;
    EXPECT_TRUE(byAddress.connect(MqttConnection::to(broker.tlsPort()).tls(tls.caFile, tls.clientCert, tls.clientKey),
                                  error))
        << error;

    MqttSubscriber wrongCa;
    EXPECT_FALSE(wrongCa.connect(byName().tls(tls.otherCaFile, tls.clientCert, tls.clientKey), error));
    EXPECT_NE(error.find("certificate verify failed"), std::string::npos) << error;
    MqttSubscriber noClientCertificate;
    EXPECT_FALSE(noClientCertificate.connect(byName().tls(tls.caFile), error));
}

}  // namespace
}  // namespace zarn::testing
