#pragma once
// Reading a window back from an X server and pressing the pointer on it, for
// the window tests and the measuring tool. Xlib's headers stay in x11_grab.cpp:
// their macros (None, Bool, Status) clash with GoogleTest and the window system.
//
//  - grabX11Window(display, w, h, out) finds the first viewable top-level
//    window of exactly w x h on display and copies its pixels into out as
//    XRGB8888. False when the display does not answer, no such window is
//    mapped yet, or the image cannot be read.
//  - clickX11Window(display, w, h, x, y) moves the server's pointer to (x, y)
//    of that window and clicks the left button there (XTEST), as a person
//    would. False when there is no such window or no XTEST.
//  - x11RootSize(display, w, h) the size of the display's screen.
//  - readX11WindowIcon(display, w, h, out) the _NET_WM_ICON of that window
//    (the first icon it lists) as ARGB8888; false when it has none.

#include "platform/gdi/surface.h"

namespace zarn {

bool grabX11Window(const char* display, int w, int h, Surface& out);
bool clickX11Window(const char* display, int w, int h, int x, int y);
bool x11RootSize(const char* display, int& w, int& h);
bool readX11WindowIcon(const char* display, int w, int h, Surface& out);

}  // namespace zarn
