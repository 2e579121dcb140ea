#include "testing/servers/prometheus_server.h"

#include "testing/servers/http_json.h"
#include "testing/servers/run_program.h"
#include "testing/servers/wait_until.h"

namespace zarn::testing {

using namespace std::chrono_literals;
using nlohmann::json;

PrometheusServer::PrometheusServer(ScrapeTarget target)
    : TestServer("zarn-prometheus", {"prometheus"}), target_(std::move(target)) {}

ServerCommand PrometheusServer::command() const {
    return {"prometheus",
            {"--config.file=" + folder_.file("prometheus.yml"), "--storage.tsdb.path=" + folder_.file("data"),
             "--web.listen-address=127.0.0.1:" + std::to_string(port_)},
            {},
            folder_.path()};
}

bool PrometheusServer::ready() { return httpJson(port_, "GET", "/-/ready", nullptr, 2s).status == 200; }

bool PrometheusServer::prepare(std::string&) {
    // Strings in YAML's JSON form, so no path or address can break the file.
    std::string yaml = "global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n  evaluation_interval: 1s\n"
                       "scrape_configs:\n  - job_name: zarn\n    metrics_path: " +
                       json(target_.path).dump() + "\n";
    if (!target_.bearerTokenFile.empty()) {
        // A copy its user can read, as the tests' own file may be theirs alone.
        const std::string token = folder_.copy("token", target_.bearerTokenFile, 0600);
        yaml += "    authorization:\n      type: Bearer\n      credentials_file: " + json(token).dump() + "\n";
    }
    yaml += "    static_configs:\n      - targets: [" + json(target_.address).dump() + "]\n";
    folder_.write("prometheus.yml", yaml);
    return true;
}

json PrometheusServer::query(const std::string& promql) {
    return httpJson(port_, "GET", "/api/v1/query?query=" + urlEncoded(promql)).body;
}

std::optional<double> PrometheusServer::queryValue(const std::string& promql) {
    const json answer = query(promql);
    const json value = jsonAt(answer, "/data/result/0/value/1");
    if (!value.is_string()) return std::nullopt;
    return std::stod(value.get<std::string>());
}

json PrometheusServer::target() {
    return jsonAt(httpJson(port_, "GET", "/api/v1/targets").body, "/data/activeTargets/0");
}

bool PrometheusServer::waitUntilTargetUp(std::chrono::milliseconds timeout, std::string& error) {
    json last;
    if (waitUntil([&] { return jsonAt(last = target(), "/health") == "up"; }, timeout, 100ms)) return true;
    error = "the target " + target_.address + target_.path + " is not up: " + (last.is_null() ? "no target" : last.dump());
    return false;
}

PromtoolVerdict promtoolCheckMetrics(const std::string& exposition) {
    const ProgramRun run = runProgram({"promtool", "check", "metrics"}, exposition);
    return {run.status == 0, run.status, run.output};
}

}  // namespace zarn::testing
