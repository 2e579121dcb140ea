// Broker URLs as a user types them: the host, port and TLS each form gives, and the
// reason each wrong one is refused; where a password may go in clear; and Home
// Assistant's devices of sites whose names differ only in what an id cannot hold.
#include "outputs/mqtt/mqtt_settings.h"

#include <gtest/gtest.h>

#include <set>

#include "outputs/mqtt/home_assistant.h"

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

TEST(MqttSettings, APasswordGoesInClearOnlyToThisMachineOrOverANetworkSaidToBeTrusted) {
    const struct {
        const char* url;
        const char* password;
        bool trusted, taken;
    } cases[] = {
        {"mqtt://broker.example.net", "pw", false, false},
        {"mqtt://10.0.0.7:1884", "pw", false, false},
        {"mqtt://[fe80::1]", "pw", false, false},
        {"mqtt://localhost.example.net", "pw", false, false},
        {"mqtt://broker.example.net", "pw", true, true},
        {"mqtt://broker.example.net", "", false, true},  // a user name alone is no secret
        {"mqtts://broker.example.net", "pw", false, true},
        {"mqtt://localhost", "pw", false, true},
        {"mqtt://127.0.0.1:1883", "pw", false, true},
        {"mqtt://127.3.4.5", "pw", false, true},
        {"mqtt://[::1]:1883", "pw", false, true},
    };
    for (const auto& c : cases) {
        MqttSettings s;
        std::string error;
        ASSERT_TRUE(parseBrokerUrl(c.url, s, error)) << error;
        s.user = "site";
        s.password = c.password;
        EXPECT_EQ(checkPasswordInClear(s, c.trusted, error), c.taken) << c.url;
        if (!c.taken) {
            EXPECT_EQ(error, std::string("--mqtt-auth would send its password in clear to ") + c.url +
                                 ": use mqtts://, or say --mqtt-insecure-auth where the network between is trusted");
        }
    }
}

// The device of each site, as its discovery's first topic names it.
std::string deviceOf(const std::string& site) {
    MqttSettings s;
    s.site = site;
    s.topicPrefix = "zarn/x";
    const auto messages = homeAssistantDiscovery(s, RecorderStatus{});
    const std::string& topic = messages.at(0).first;  // homeassistant/binary_sensor/DEVICE/board/config
    const size_t from = topic.find('/', topic.find('/') + 1) + 1;
    const std::string device = topic.substr(from, topic.find('/', from) - from);
    EXPECT_NE(messages.at(0).second.find("\"identifiers\":[\"" + device + "\"]"), std::string::npos);
    return device;
}

TEST(HomeAssistant, SitesWhoseNamesAnIdCannotHoldStayDevicesOfTheirOwnAndOtherIdsStayAsTheyWere) {
    const auto madeUp = [](const std::string& id) {  // zarn_..._ and 8 hex digits
        return id.rfind("zarn_", 0) == 0 && id.size() > 14 && id[id.size() - 9] == '_' &&
               id.find_first_not_of("0123456789abcdef", id.size() - 8) == std::string::npos;
    };
    const struct {
        const char* site;
        const char* device;  // nullptr: made up
    } cases[] = {
        {"site_1", "zarn_site_1"},
        {"North-Ridge", "zarn_North-Ridge"},
        {"site 1", nullptr},
        {"site.1", nullptr},
        {"site/1", nullptr},
        {"Sité", nullptr},
        {"site_1_0badf00d", nullptr},  // would read as a made-up id
    };
    std::set<std::string> devices;
    for (const auto& c : cases) {
        const std::string device = deviceOf(c.site);
        if (c.device) EXPECT_EQ(device, c.device);
        else EXPECT_TRUE(madeUp(device)) << c.site << ": " << device;
        EXPECT_TRUE(devices.insert(device).second) << c.site << " shares " << device;
        EXPECT_EQ(deviceOf(c.site), device) << "the same every time";
    }
    EXPECT_EQ(deviceOf("site 1").rfind("zarn_site_1_", 0), 0u);
}

}  // namespace
}  // namespace zarn
