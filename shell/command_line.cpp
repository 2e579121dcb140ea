#include "shell/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "board/port_discovery.h"
#include "platform/command_line.h"
#include "platform/registry_file.h"

namespace zarn {
namespace {

const char* const kSummary =
    "Shows what the dual-band receiver board (800 MHz cellular, 1900 MHz PCS) measures:\n"
    "single channel, channel table, spectrum analysis and best servers; records survey\n"
    "logs (.zrn) and JPEG snapshots.";

const char* const kEpilogue =
    "Without --port the board's port is found among the registry's active drivers\n"
    "(ROOT/registry.reg and the adapters in /dev/serial/by-id).\n"
    "\n"
    "Environment:\n"
    "  ZARN_PORT   the board's serial port when --port is not given\n"
    "  ZARN_ROOT   host folder of the device's root (default $XDG_DATA_HOME/zarn)\n"
    "  ZARN_CARD   host folder of the storage card\n"
    "  ZARN_SCALE  whole window scale factor\n"
    "  ZARN_ROTATE the picture turned clockwise when --rotate is not given\n"
    "  ZARN_FULLSCREEN  1: the whole display, as --fullscreen\n"
    "  ZARN_MUTE   1 silences all sounds\n"
    "  ZARN_GPSD   gpsd's host:port for positions, or off (default localhost:2947)\n"
    "  ZARN_UI     headless runs without a window\n";

// The card's PnpId prefix, so the discovery takes the given port as the card.
constexpr const char* kGivenPortPnpId = "CF-Serial_I-O (given port)";

CommandLine zarnOptions(ZarnCommandLine& line) {
    return {"zarn",
            kSummary,
            {
                textOption("port", 'p', "PATH",
                           "the board's serial port, ahead of the registry's\n"
                           "(a device path, or a name in /dev/serial/by-id)",
                           line.port),
                flagOption("fullscreen", 'f',
                           "the whole display: the picture at the largest whole\n"
                           "scale that fits, centred on black, no pointer",
                           line.fullscreen),
                {"rotate", 'r', "DEGREES", "the picture turned clockwise, 0, 90, 180 or 270,\nfor a panel mounted sideways",
                 [&line](const char* value) {
                     const std::string text = value;
                     if (text != "0" && text != "90" && text != "180" && text != "270")
                         return "'" + text + "' is not 0, 90, 180 or 270";
                     line.rotate = text;
                     return std::string();
                 }},
            },
            kEpilogue};
}

// The host path a given port name stands for; "" and the reason when it cannot be used.
std::string portPath(const std::string& given, std::string& problem) {
    namespace fs = std::filesystem;
    std::error_code error;
    std::string path;
    if (given.find('/') != std::string::npos) {
        path = fs::absolute(given, error).lexically_normal().string();
    } else {
        const std::string byId = "/dev/serial/by-id/" + given;
        path = fs::exists(byId, error) ? byId : "/dev/" + given;
    }
    for (unsigned char c : path) {
        if (c < 0x20 || c > 0x7E) {
            problem = "'" + given + "' is not a plain ASCII path";
            return {};
        }
    }
    if (path.size() >= kPortNameSize) {
        problem = "'" + given + "' is longer than " + std::to_string(kPortNameSize - 1) + " bytes";
        return {};
    }
    return path;
}

}  // namespace

std::optional<int> readZarnCommandLine(int argc, char** argv, ZarnCommandLine& line) {
    if (const auto status = parseCommandLine(zarnOptions(line), argc, argv)) return status;
    return takeBoardPort("zarn", line.port);
}

std::optional<int> takeBoardPort(const char* program, std::string& port) {
    const char* source = "--port";
    if (port.empty()) {
        const char* environment = std::getenv("ZARN_PORT");
        port = environment ? environment : "";
        source = "ZARN_PORT";
    }
    if (port.empty()) return std::nullopt;
    std::string problem;
    port = portPath(port, problem);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s: %s: %s\n", program, source, problem.c_str());
        return 2;
    }
    return std::nullopt;
}

void applyZarnCommandLine(const ZarnCommandLine& line) {
    putBoardPortFirst(line.port);
    if (line.fullscreen) setenv("ZARN_FULLSCREEN", "1", 1);
    if (!line.rotate.empty()) setenv("ZARN_ROTATE", line.rotate.c_str(), 1);
}

void putBoardPortFirst(const std::string& port) {
    setFirstActiveDriver(port.empty() ? "" : kGivenPortPnpId, port);
}

}  // namespace zarn
