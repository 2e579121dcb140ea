#include "testing/servers/http_json.h"

#include <httplib.h>

#include <cctype>

namespace zarn::testing {

std::string urlEncoded(const std::string& text, const std::string& keep) {
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || keep.find(static_cast<char>(c)) != std::string::npos) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

nlohmann::json jsonAt(const nlohmann::json& document, const std::string& pointer) {
    const nlohmann::json::json_pointer at(pointer);
    return document.contains(at) ? document.at(at) : nlohmann::json();
}

JsonReply httpJson(int port, const std::string& method, const std::string& path, const nlohmann::json& body,
                   std::chrono::seconds timeout) {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(std::chrono::seconds(5));
    client.set_read_timeout(timeout);
    const std::string text = body.is_null() ? std::string() : body.dump();
    httplib::Result result = method == "GET"      ? client.Get(path)
                             : method == "DELETE" ? client.Delete(path)
                                                  : client.Post(path, text, "application/json");
    JsonReply reply;
    if (!result) {
        reply.error = method + " " + path + ": " + httplib::to_string(result.error());
        return reply;
    }
    reply.status = result->status;
    reply.body = nlohmann::json::parse(result->body, nullptr, false);
    if (reply.body.is_discarded()) reply.body = nullptr;
    return reply;
}

}  // namespace zarn::testing
