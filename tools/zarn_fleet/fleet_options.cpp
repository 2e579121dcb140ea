#include "tools/zarn_fleet/fleet_options.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "outputs/archive/archive_connection.h"
#include "platform/command_line.h"
#include "platform/http/listen_address.h"

namespace zarn {
namespace {

constexpr const char* kProgram = "zarn-fleet";
constexpr int kUsage = 2, kFailed = 1;

const char* const kSummary =
    "Serves the network of sites on one page, over the archive: a map of the sites with\n"
    "their state, a table of their health that changes as it arrives, each site's events,\n"
    "task runs and hourly figures, and the tasks, which an operator changes from the page.\n"
    "--archive and --listen are required (or ZARN_ARCHIVE and ZARN_LISTEN).";

const char* const kEpilogue =
    "The API: /api/sites, /api/sites/NAME, /api/sites/NAME/events,\n"
    "/api/sites/NAME/hourly?band=&from=&to=[&mhz=], /api/tasks (GET; POST with the\n"
    "operator's token), /api/stream (Server-Sent Events), /metrics (Prometheus).\n"
    "The database decides what the role of --archive may read and change.\n"
    "\n"
    "Exit status: 0 stopped by SIGINT or SIGTERM, 1 a run-time failure, 2 a usage error.\n"
    "\n"
    "Environment:\n"
    "  ZARN_ARCHIVE  the archive's conninfo when --archive is not given\n"
    "  ZARN_LISTEN   [ADDR:]PORT when --listen is not given\n";

int usage(const std::string& problem) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram, problem.c_str(), kProgram);
    return kUsage;
}

std::optional<int> takeArchive(const std::string& given, FleetOptions& o) {
    std::string problem;
    o.archive = chosenArchive(given, kProgram, problem);
    if (!problem.empty()) return usage(problem);
    if (o.archive.empty()) return usage("--archive CONNINFO (or ZARN_ARCHIVE) is required");
    return std::nullopt;
}

std::optional<int> takeToken(const std::string& file, const char* option, std::string& into) {
    if (file.empty()) return std::nullopt;
    std::string error;
    const auto token = readTokenFile(file, error);
    if (!token) return usage(std::string(option) + ": " + error);
    into = *token;
    return std::nullopt;
}

// Tiles from the team's own server: an http(s) URL with {z}, {x} and {y}.
std::optional<int> takeTiles(const std::string& given, FleetOptions& o) {
    if (given.empty()) return std::nullopt;
    const bool web = given.rfind("http://", 0) == 0 || given.rfind("https://", 0) == 0;
    const bool placed = given.find("{z}") != std::string::npos && given.find("{x}") != std::string::npos &&
                        given.find("{y}") != std::string::npos;
    if (!web || !placed || given.find_first_of("'\"<> \\") != std::string::npos)
        return usage("--tiles: '" + given + "' is not an http(s) URL with {z}, {x} and {y}");
    o.tiles = given;
    return std::nullopt;
}

std::optional<int> takeListen(const std::string& listen, const std::vector<std::string>& allowHosts,
                              FleetOptions& o) {
    std::string given = listen, source = "--listen";
    if (const char* environment = std::getenv("ZARN_LISTEN"); given.empty() && environment) {
        given = environment;
        source = "ZARN_LISTEN";
    }
    if (given.empty()) return usage("--listen [ADDR:]PORT (or ZARN_LISTEN) is required");
    std::string error;
    const auto address = parseListenAddress(given, error);
    if (!address) return usage(source + ": " + error);
    std::vector<std::string> allowed;
    for (const std::string& text : allowHosts) {
        const auto name = parseHostName(text, error);
        if (!name) return usage("--allow-host " + error);
        allowed.push_back(*name);
    }
    o.listen = address->text();
    o.listenFd = openListenSocket(*address, error);
    if (o.listenFd < 0) {
        std::fprintf(stderr, "%s: cannot listen on %s: %s\n", kProgram, o.listen.c_str(), error.c_str());
        return kFailed;
    }
    const bool open = reachableFromNetwork(o.listenFd);
    if (!open || !allowed.empty()) o.hosts = servedHosts(*address, allowed);
    if (open)
        std::fprintf(stderr, "%s: the page on %s is open to the network: whoever reaches this machine can read it%s\n",
                     kProgram, o.listen.c_str(), o.token.empty() ? "; --token asks for a token" : "");
    return std::nullopt;
}

}  // namespace

std::optional<int> readFleetOptions(int argc, char** argv, FleetOptions& o) {
    std::string archive, listen, token, operatorToken, tiles;
    std::vector<std::string> allowHosts;
    const CommandLine line{
        kProgram,
        kSummary,
        {textOption("archive", 0, "CONNINFO", "the archive (libpq's conninfo or URI; a password\nbelongs in ~/.pgpass)",
                    archive),
         textOption("listen", 0, "[ADDR:]PORT", "serve the page on PORT of ADDR (127.0.0.1 unless\ngiven)", listen),
         textOption("token", 0, "FILE", "every request must carry the token in FILE (mode 600):\n"
                                        "'Authorization: Bearer TOKEN' or ?token=TOKEN", token),
         textOption("operator-token", 0, "FILE", "changing tasks needs the token in FILE (mode 600), and\n"
                                                 "the database role's right to", operatorToken),
         textOption("tiles", 0, "URL", "the team's tile server (https://tiles.example/{z}/{x}/{y}.png);\n"
                                       "without it the map is a plain background with a scale", tiles),
         {"allow-host", 0, "NAME", "answer requests for NAME too (repeatable)",
          [&](const char* value) {
              allowHosts.emplace_back(value);
              return std::string();
          }}},
        kEpilogue};
    if (const auto status = parseCommandLine(line, argc, argv)) return status;
    if (const auto status = takeArchive(archive, o)) return status;
    if (const auto status = takeToken(token, "--token", o.token)) return status;
    if (const auto status = takeToken(operatorToken, "--operator-token", o.operatorToken)) return status;
    if (!o.token.empty() && o.token == o.operatorToken)
        return usage("--token and --operator-token name the same token: a viewer could change tasks");
    if (const auto status = takeTiles(tiles, o)) return status;
    return takeListen(listen, allowHosts, o);
}

}  // namespace zarn
