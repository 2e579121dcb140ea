#pragma once
// zarn's command line, read before the window system starts.
//
//  - readZarnCommandLine(argc, argv, line): the options into line; nullopt when the
//    program is to start, else the exit status to end with (0 after --help or
//    --version, 2 after a usage error; see platform/command_line.h).
//  - The board's port: --port PATH, else ZARN_PORT. A path is taken as it stands
//    (made absolute), so a /dev/serial/by-id name keeps naming the adapter when it
//    returns under another ttyUSB number; a bare name is looked up in
//    /dev/serial/by-id, else taken below /dev. A name that the port discovery could
//    not hold is a usage error.
//  - --fullscreen and --rotate DEGREES (0, 90, 180 or 270) are the window's
//    ZARN_FULLSCREEN and ZARN_ROTATE.
//  - applyZarnCommandLine(line): a given port is listed first among the registry's
//    active drivers as the card would be, on this and every later reading of it, so
//    the discovery finds it by its own rules; the window's options are set in the
//    environment the window reads.

#include <optional>
#include <string>

namespace zarn {

struct ZarnCommandLine {
    std::string port;
    bool fullscreen = false;
    std::string rotate;  // empty: not given
};

std::optional<int> readZarnCommandLine(int argc, char** argv, ZarnCommandLine& line);
void applyZarnCommandLine(const ZarnCommandLine& line);

// The same for any program that opens the board: `port` as given (else ZARN_PORT) made
// a usable path; 2 with the reason on stderr when it cannot be. Then listed first.
std::optional<int> takeBoardPort(const char* program, std::string& port);
void putBoardPortFirst(const std::string& port);

}  // namespace zarn
