#pragma once
// Where positions come from: ZARN_GPSD names gpsd's host:port, "off" none.

#include <optional>
#include <string>

namespace zarn {

struct GpsdAddress {
    std::string host = "localhost";
    std::string port = "2947";
};

// The address a ZARN_GPSD value names; nullptr or empty names the default.
// nullopt for "off", and for a value that names no address, with error set.
std::optional<GpsdAddress> gpsdAddressFrom(const char* value, std::string& error);

}  // namespace zarn
