#pragma once
// How the SDL window is asked for, from the environment:
//   ZARN_SCALE       whole scale factor (1, 2, ...); unset or 0: the largest that fits
//   ZARN_ROTATE      0, 90, 180 or 270: the picture turned clockwise, for a
//                    panel mounted sideways
//   ZARN_FULLSCREEN  1: the whole display
//   ZARN_MUTE        1: no sound, and no audio device opened
// A value that makes no sense is named on stderr and the default used.
//
// readWindowArguments(argc, argv): --fullscreen and --rotate DEGREES on a
// program's command line, set as ZARN_FULLSCREEN and ZARN_ROTATE; nullopt to
// run, else the exit status (2: a usage error, with the reason on stderr).

#include <optional>

namespace zarn {

struct WindowOptions {
    int scale = 0;  // 0: the largest that fits
    int rotation = 0;
    bool fullscreen = false;
    bool muted = false;
};

WindowOptions windowOptionsFromEnvironment();
std::optional<int> readWindowArguments(int argc, char** argv);

}  // namespace zarn
