// The Prometheus fixture: a tiny target behind a bearer token scraped by the real server
// and queried back, and promtool's verdict on good and bad expositions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <thread>

#include "testing/servers/free_port.h"
#include "testing/servers/prometheus_server.h"

namespace zarn::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;

const char* const kGood =
    "# HELP zarn_smoke_frames_total Frames decoded.\n"
    "# TYPE zarn_smoke_frames_total counter\n"
    "zarn_smoke_frames_total 42\n";

// /metrics on a thread of the test, for the token's bearer only.
struct TinyTarget {
    TinyTarget() {
        server.Get("/metrics", [](const httplib::Request& request, httplib::Response& response) {
            if (request.get_header_value("Authorization") != "Bearer t0ken") {
                response.status = 401;
                return;
            }
            response.set_content(kGood, "text/plain; version=0.0.4");
        });
        if (server.bind_to_port("127.0.0.1", port)) serving = std::thread([this] { server.listen_after_bind(); });
    }
    ~TinyTarget() {
        server.stop();
        if (serving.joinable()) serving.join();
    }
    httplib::Server server;
    const int port = freePort();
    std::thread serving;
};

TEST(PrometheusServerTest, ScrapesATargetBehindABearerTokenAndAnswersAQuery) {
    TinyTarget target;
    ASSERT_TRUE(target.serving.joinable());
    ServerFolder mine("zarn-token", ServerUser{});
    PrometheusServer prometheus(
        {"127.0.0.1:" + std::to_string(target.port), "/metrics", mine.write("token", "t0ken", 0600)});
    std::string error;
    ASSERT_TRUE(prometheus.start(error)) << error;
    ASSERT_TRUE(prometheus.waitUntilTargetUp(10s, error)) << error;
    EXPECT_EQ(prometheus.queryValue("zarn_smoke_frames_total"), 42.0);
    EXPECT_EQ(prometheus.queryValue("zarn_no_such_metric"), std::nullopt);
}

TEST(PrometheusServerTest, PromtoolPassesAGoodExpositionAndSaysWhatIsWrongWithABadOne) {
    EXPECT_TRUE(promtoolCheckMetrics(kGood).passed);

    const PromtoolVerdict unnamed = promtoolCheckMetrics("# TYPE zarn_frames counter\nzarn_frames 3\n");
    EXPECT_FALSE(unnamed.passed);
    EXPECT_THAT(unnamed.output, HasSubstr("_total"));
    EXPECT_FALSE(promtoolCheckMetrics("zarn_frames_total{band=} 3\n").passed);
}

}  // namespace
}  // namespace zarn::testing
