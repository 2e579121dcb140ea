#include "platform/sdl/x11_grab.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <unistd.h>

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

bool click(Display* d, Window window, int x, int y) {
    int ignored;
    if (!XTestQueryExtension(d, &ignored, &ignored, &ignored, &ignored)) return false;
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(d, window, DefaultRootWindow(d), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(d, DefaultScreen(d), rootX, rootY, CurrentTime);
    XSync(d, False);
    usleep(50 * 1000);  // a person's press and release are not in the same instant
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XSync(d, False);
    usleep(50 * 1000);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XSync(d, False);
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

bool clickX11Window(const char* display, int w, int h, int x, int y) {
    Display* d = XOpenDisplay(display);
    if (!d) return false;
    Window window = findWindow(d, w, h);
    bool ok = window && click(d, window, x, y);
    XCloseDisplay(d);
    return ok;
}

bool x11RootSize(const char* display, int& w, int& h) {
    Display* d = XOpenDisplay(display);
    if (!d) return false;
    w = DisplayWidth(d, DefaultScreen(d));
    h = DisplayHeight(d, DefaultScreen(d));
    XCloseDisplay(d);
    return true;
}

}  // namespace zarn
