#pragma once
// How the SDL window is asked for, from the environment:
//   ZARN_SCALE       whole scale factor (1, 2, ...); unset or 0: the largest that fits
//   ZARN_ROTATE      0, 90, 180 or 270: the picture turned clockwise, for a
//                    panel mounted sideways
//   ZARN_FULLSCREEN  1: the whole display
//   ZARN_MUTE        1: no sound, and no audio device opened
// A value that makes no sense is named on stderr and the default used.

namespace zarn {

struct WindowOptions {
    int scale = 0;  // 0: the largest that fits
    int rotation = 0;
    bool fullscreen = false;
    bool muted = false;
};

WindowOptions windowOptionsFromEnvironment();

}  // namespace zarn
