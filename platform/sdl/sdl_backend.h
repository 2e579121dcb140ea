#pragma once
// The SDL window: the 240 x 320 device screen, turned by ZARN_ROTATE (0, 90,
// 180, 270 degrees clockwise) and drawn at a whole scale: ZARN_SCALE, or the
// largest factor up to 3 that fits the display. ZARN_FULLSCREEN=1 takes the
// whole display instead: the largest whole factor that fits (ZARN_SCALE when
// it fits), centred on black, no pointer shown. The window stays unmapped
// until the program shows its main window; closing it ends the program.
//
// Input: the left mouse button, and the first finger on a touch screen, is
// the stylus, through the same placement as the picture; a second finger is
// ignored while the first is down, and SDL's mouse events made from touches
// are dropped so no touch counts twice. Sounds go to SDL audio as 8-bit mono
// at 22050 Hz; ZARN_MUTE=1 opens no audio device, though a synchronous sound
// still takes its time. Presents come at most once per display refresh (see
// frameIntervalMs). No SDL header leaks out of here.

#include <memory>

#include "platform/ui/backend.h"

namespace zarn {

// Null (with the reason on stderr) when SDL's video cannot start.
std::unique_ptr<UiBackend> createSdlBackend();
// The window's pixels as shown (window size, rotation and scale included),
// for tests; false when backend is not an SDL backend or they cannot be read.
bool readSdlWindow(UiBackend* backend, Surface& out);

}  // namespace zarn
