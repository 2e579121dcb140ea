#pragma once
// Reading a window back from an X server, for the screenshot test. Xlib's
// headers stay in x11_grab.cpp: their macros (None, Bool, Status) clash with
// GoogleTest and the window system.
//
//  - grabX11Window(display, w, h, out) finds the first viewable top-level
//    window of exactly w x h on display and copies its pixels into out as
//    XRGB8888. False when the display does not answer, no such window is
//    mapped yet, or the image cannot be read.

#include "platform/gdi/surface.h"

namespace zarn {

bool grabX11Window(const char* display, int w, int h, Surface& out);

}  // namespace zarn
