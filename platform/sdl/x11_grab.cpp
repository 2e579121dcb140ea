#include "platform/sdl/x11_grab.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace zarn {
namespace {

Window findWindow(Display* d, int w, int h) {
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) return 0;
    for (unsigned i = 0; i < n && !found; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable && a.width == w && a.height == h)
            found = children[i];
    }
    if (children) XFree(children);
    return found;
}

bool copyImage(Display* d, Window window, int w, int h, Surface& out) {
    XImage* image = XGetImage(d, window, 0, 0, w, h, AllPlanes, ZPixmap);
    if (!image) return false;
    out = Surface(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out.at(x, y) = static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
    XDestroyImage(image);
    return true;
}

}  // namespace

bool grabX11Window(const char* display, int w, int h, Surface& out) {
    Display* d = XOpenDisplay(display);
    if (!d) return false;
    XSync(d, False);
    Window window = findWindow(d, w, h);
    bool ok = window && copyImage(d, window, w, h, out);
    XCloseDisplay(d);
    return ok;
}

}  // namespace zarn
