#pragma once
// PrometheusServer: the real Prometheus for the tests, scraping one target every second,
// on a free port of 127.0.0.1 with its storage in a temporary folder, as the `prometheus`
// (or `nobody`) user when the tests run as root.
//
//   PrometheusServer prometheus({"127.0.0.1:" + std::to_string(port), "/metrics", tokenFile});
//   ASSERT_TRUE(prometheus.start(error)) << error;
//   ASSERT_TRUE(prometheus.waitUntilTargetUp(10s, error)) << error;
//   EXPECT_EQ(prometheus.queryValue("zarn_board_up"), 1.0);
//
// The first scrape comes some 5 s after the start: Prometheus hands new targets to its
// scrapers every 5 s. Start it once per suite.
//
// promtoolCheckMetrics(text): `promtool check metrics` on an exposition, as a test's
// assert on /metrics.
//
// start, stop, kill, port, folder and log as every TestServer. Link zarn_test_servers.

#include <chrono>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "testing/servers/test_server.h"

namespace zarn::testing {

struct ScrapeTarget {
    std::string address;          // host:port
    std::string path = "/metrics";
    std::string bearerTokenFile;  // set: sent as "Authorization: Bearer <its text>"
};

class PrometheusServer : public TestServer {
public:
    // The configuration is written at the first start; later starts reopen the storage.
    explicit PrometheusServer(ScrapeTarget target);

    // The whole answer of /api/v1/query for `promql` (null when nothing answered).
    nlohmann::json query(const std::string& promql);
    // The first sample's value of that answer; nullopt when it has none.
    std::optional<double> queryValue(const std::string& promql);
    // The target as /api/v1/targets shows it (health, lastError, ...).
    nlohmann::json target();
    // True once a scrape of the target has succeeded; false with its last error.
    bool waitUntilTargetUp(std::chrono::milliseconds timeout, std::string& error);

private:
    bool prepare(std::string& error) override;
    ServerCommand command() const override;
    bool ready() override;

    ScrapeTarget target_;
};

struct PromtoolVerdict {
    bool passed = false;
    int status = -1;     // promtool's exit status: 0 good, 1 unreadable, 3 breaks a naming rule
    std::string output;  // what it found
};

PromtoolVerdict promtoolCheckMetrics(const std::string& exposition);

}  // namespace zarn::testing
