#include "testing/servers/chrome_driver.h"

#include <atomic>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "testing/servers/free_port.h"
#include "testing/servers/http_json.h"

namespace zarn::testing {
namespace {

using namespace std::chrono_literals;

// A path as a file: URL writes it: every byte but the unreserved ones and '/' as %XX.
std::string urlPath(const std::string& path) {
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

}  // namespace

ChromeDriver::ChromeDriver()
    : user_(ServerUser::pick({"nobody"})),
      folder_("zarn-chromium", user_),
      port_(freePort()),
      // HOME (and with it Chromium's caches and fonts' cache) in the folder, as nobody has none.
      process_({"chromedriver",
                {"--port=" + std::to_string(port_)},
                {{"XDG_CONFIG_HOME", folder_.file(".config")}, {"XDG_CACHE_HOME", folder_.file(".cache")}},
                folder_.path()},
               user_, folder_.file("chromedriver.log")) {}

bool ChromeDriver::start(std::string& error) {
    if (folder_.path().empty() || port_ == 0) {
        error = "no temporary folder or no free port";
        return false;
    }
    if (!process_.start(error)) return false;
    return process_.waitReady(
        [&] {
            const JsonReply status = httpJson(port_, "GET", "/status", nullptr, 2s);
            return status.status == 200 && status.body.value("/value/ready"_json_pointer, false);
        },
        20s, error);
}

std::string ChromeDriver::fileUrl(const std::string& hostFile) const {
    static std::atomic<int> copies{0};
    const std::string name = "pages/" + std::to_string(++copies) + "/" + std::filesystem::path(hostFile).filename().string();
    std::ifstream in(hostFile, std::ios::binary);
    return "file://" + urlPath(folder_.write(name, std::string(std::istreambuf_iterator<char>(in), {})));
}

std::string ChromeDriver::newProfile() const {
    static std::atomic<int> profiles{0};
    return folder_.makeFolder("profile-" + std::to_string(++profiles));
}

}  // namespace zarn::testing
