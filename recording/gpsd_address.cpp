#include "recording/gpsd_address.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace zarn {
namespace {

bool validPort(const std::string& port) {
    if (port.empty() || port.size() > 5) return false;
    if (!std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); })) return false;
    const int number = std::stoi(port);
    return number >= 1 && number <= 65535;
}

bool validHost(const std::string& host) {
    return std::none_of(host.begin(), host.end(), [](unsigned char c) { return std::isspace(c) || c == '/'; });
}

}  // namespace

std::optional<GpsdAddress> gpsdAddressFrom(const char* value, std::string& error) {
    GpsdAddress address;
    if (!value || !*value) return address;
    const std::string_view text = value;
    if (text == "off") return std::nullopt;
    std::string_view host = text;
    std::string_view port;
    bool wellFormed = true;
    if (text.front() == '[') {  // [IPv6]:port
        const size_t close = text.find(']');
        wellFormed = close != std::string_view::npos && (close + 1 == text.size() || text[close + 1] == ':');
        if (wellFormed) {
            host = text.substr(1, close - 1);
            port = text.substr(std::min(close + 2, text.size()));
            wellFormed = close + 1 == text.size() || !port.empty();
        }
    } else if (std::count(text.begin(), text.end(), ':') == 1) {
        const size_t colon = text.find(':');
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        wellFormed = !port.empty();  // "host:" names no port
    }
    if (!host.empty()) address.host = std::string(host);
    if (!port.empty()) address.port = std::string(port);
    if (!wellFormed || !validHost(address.host) || !validPort(address.port)) {
        error = "ZARN_GPSD: \"" + std::string(text) + "\" is not host:port (a port 1..65535), nor off";
        return std::nullopt;
    }
    return address;
}

}  // namespace zarn
