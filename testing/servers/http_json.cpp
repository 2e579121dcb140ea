#include "testing/servers/http_json.h"

#include <httplib.h>

namespace zarn::testing {

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
