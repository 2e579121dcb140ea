#pragma once
// The SDL window: 240 x 320 device pixels at ZARN_SCALE, or the largest
// factor up to 3 that fits the display. The window stays unmapped until the
// program shows its main window. The left mouse button (and touch, through
// SDL's mouse emulation) is the stylus; closing the window ends the program.
// Sounds go to SDL audio as 8-bit mono at 22050 Hz; ZARN_MUTE=1 plays nothing
// but a synchronous sound still takes its time. No SDL header leaks out of here.

#include <memory>

#include "platform/ui/backend.h"

namespace zarn {

// Null (with the reason on stderr) when SDL's video cannot start.
std::unique_ptr<UiBackend> createSdlBackend();
// The window's current pixels at scale 1, for the screenshot test; false
// when backend is not an SDL backend or the pixels cannot be read.
bool readSdlWindow(UiBackend* backend, Surface& out);

}  // namespace zarn
