#pragma once
// zarn-fleet's command line: the archive (--archive, else ZARN_ARCHIVE), where the page
// listens (--listen, else ZARN_LISTEN; loopback unless an address is given), the viewers'
// and the operator's tokens from mode-600 files, the team's tile server.

#include <optional>
#include <string>
#include <vector>

namespace zarn {

struct FleetOptions {
    std::string archive;
    std::string listen;  // as bound: "127.0.0.1:8090"
    int listenFd = -1;
    std::vector<std::string> hosts;  // the Host names answered; empty: any
    std::string token, operatorToken;
    std::string tiles;  // a {z}/{x}/{y} URL; empty: a plain background
    std::string leaflet = "/usr/share/javascript/leaflet";
};

// nullopt: run; else the exit status (0 after --help or --version, 1 a socket not had, 2 usage).
std::optional<int> readFleetOptions(int argc, char** argv, FleetOptions& options);

}  // namespace zarn
