#pragma once
// JSON over HTTP to a server the tests started on 127.0.0.1 (chromedriver's WebDriver,
// Prometheus's API), through cpp-httplib.

#include <chrono>
#include <string>

#include <nlohmann/json.hpp>

namespace zarn::testing {

struct JsonReply {
    int status = 0;       // the HTTP status; 0 when nothing answered
    nlohmann::json body;  // null when the body is not JSON
    std::string error;    // what went wrong on the way, when status is 0
};

// `text` with every byte but the unreserved ones and those in `keep` as %XX.
std::string urlEncoded(const std::string& text, const std::string& keep = "");

// What `pointer` ("/data/result/0") names in `document`; null when it names nothing.
nlohmann::json jsonAt(const nlohmann::json& document, const std::string& pointer);

JsonReply httpJson(int port, const std::string& method, const std::string& path,
                   const nlohmann::json& body = nullptr,
                   std::chrono::seconds timeout = std::chrono::seconds(120));

}  // namespace zarn::testing
