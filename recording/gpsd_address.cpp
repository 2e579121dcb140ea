#include "recording/gpsd_address.h"

#include <algorithm>
#include <cctype>
#include <cstring>

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
    const std::string text = value;
    if (text == "off") return std::nullopt;
    std::string host = text;
    std::string port;
    if (text.front() == '[') {  // [IPv6]:port
        const size_t close = text.find(']');
        if (close == std::string::npos || (close + 1 < text.size() && text[close + 1] != ':')) {
            error = "ZARN_GPSD: \"" + text + "\" is not host:port";
            return std::nullopt;
        }
        host = text.substr(1, close - 1);
        if (close + 1 < text.size()) port = text.substr(close + 2);
    } else if (std::count(text.begin(), text.end(), ':') == 1) {
        const size_t colon = text.find(':');
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (port.empty()) port = "-";  // "host:" names no port
    }
    if (!host.empty()) address.host = host;
    if (!port.empty()) address.port = port;
    if (!validHost(address.host) || !validPort(address.port)) {
        error = "ZARN_GPSD: \"" + text + "\" is not host:port (a port 1..65535), nor off";
        return std::nullopt;
    }
    return address;
}

}  // namespace zarn
