#include "testing/servers/chrome_driver.h"

#include <atomic>
#include <filesystem>

#include "testing/servers/http_json.h"

namespace zarn::testing {

using namespace std::chrono_literals;

ChromeDriver::ChromeDriver() : TestServer("zarn-chromium", {"nobody"}) {}

ServerCommand ChromeDriver::command() const {
    // HOME (and with it Chromium's caches and fonts' cache) in the folder, as nobody has none.
    return {"chromedriver",
            {"--port=" + std::to_string(port_)},
            {{"XDG_CONFIG_HOME", folder_.file(".config")}, {"XDG_CACHE_HOME", folder_.file(".cache")}},
            folder_.path()};
}

bool ChromeDriver::ready() {
    const JsonReply status = httpJson(port_, "GET", "/status", nullptr, 2s);
    return status.status == 200 && jsonAt(status.body, "/value/ready") == true;
}

std::string ChromeDriver::fileUrl(const std::string& hostFile) const {
    static std::atomic<int> copies{0};
    const std::string name =
        "pages/" + std::to_string(++copies) + "/" + std::filesystem::path(hostFile).filename().string();
    return "file://" + urlEncoded(folder_.copy(name, hostFile), "/");
}

std::string ChromeDriver::newProfile() const {
    static std::atomic<int> profiles{0};
    return folder_.makeFolder("profile-" + std::to_string(++profiles));
}

}  // namespace zarn::testing
