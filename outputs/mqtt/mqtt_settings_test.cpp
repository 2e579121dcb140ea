// Broker URLs as a user types them: the host, port and TLS each form gives, and the
// reason each wrong one is refused.
#include "outputs/mqtt/mqtt_settings.h"

#include <gtest/gtest.h>

namespace zarn {
namespace {

TEST(MqttSettings, BrokerUrlsGiveTheirHostPortAndTlsOrSayWhatIsWrong) {
    struct Good {
        const char* url;
        const char* host;
        int port;
        bool tls;
    };
    for (const Good& c : std::vector<Good>{{"mqtt://broker.example.net", "broker.example.net", 1883, false},
                                           {"mqtts://broker.example.net", "broker.example.net", 8883, true},
                                           {"mqtt://10.0.0.7:1884/", "10.0.0.7", 1884, false},
                                           {"mqtts://[::1]:8884", "::1", 8884, true},
                                           {"mqtt://[fe80::1]", "fe80::1", 1883, false}}) {
        MqttSettings s;
        std::string error;
        ASSERT_TRUE(parseBrokerUrl(c.url, s, error)) << c.url << ": " << error;
        EXPECT_EQ(s.host, c.host);
        EXPECT_EQ(s.port, c.port) << c.url;
        EXPECT_EQ(s.tls, c.tls) << c.url;
    }
    struct Bad {
        const char* url;
        const char* says;
    };
    for (const Bad& c : std::vector<Bad>{{"broker:1883", "is not a broker URL"},
                                         {"ws://broker", "is not a broker URL"},
                                         {"mqtt://", "names no host"},
                                         {"mqtt://:1883", "names no host"},
                                         {"mqtt://broker:0", "port that is not 1 to 65535"},
                                         {"mqtt://broker:65536", "port that is not 1 to 65535"},
                                         {"mqtt://broker:", "port that is not 1 to 65535"},
                                         {"mqtt://broker:18x3", "port that is not 1 to 65535"},
                                         {"mqtt://user:pw@broker", "holds a user or password"},
                                         {"mqtt://broker/zarn", "has a path"},
                                         {"mqtt://::1:1883", "IPv6 address without [ ]"},
                                         {"mqtt://[::1", "no ']'"},
                                         {"mqtt://bro ker", "with ' ' in it"}}) {
        MqttSettings s;
        std::string error;
        EXPECT_FALSE(parseBrokerUrl(c.url, s, error)) << c.url;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.url << ": " << error;
        EXPECT_EQ(error.rfind(std::string("'") + c.url + "'", 0), 0u) << error;
    }
}

}  // namespace
}  // namespace zarn
