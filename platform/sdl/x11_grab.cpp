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

// _NET_WM_ICON: width, height, then ARGB pixels, each in a long.
bool readIcon(Display* d, Window window, Surface& out) {
    Atom type;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom icon = XInternAtom(d, "_NET_WM_ICON", False);
    if (XGetWindowProperty(d, window, icon, 0, 1 << 20, False, AnyPropertyType, &type, &format, &count, &after, &data) != Success)
        return false;
    const auto* values = reinterpret_cast<const unsigned long*>(data);
    const bool ok = data && format == 32 && count >= 2 && count - 2 >= values[0] * values[1];
    if (ok) {
        out = Surface(static_cast<int>(values[0]), static_cast<int>(values[1]));
        for (size_t i = 0; i < out.pixels.size(); ++i) out.pixels[i] = static_cast<uint32_t>(values[2 + i]);
    }
    if (data) XFree(data);
    return ok;
}

}  // namespace

bool readX11WindowIcon(const char* display, int w, int h, Surface& out) {
    Display* d = XOpenDisplay(display);
    if (!d) return false;
    Window window = findWindow(d, w, h);
    bool ok = window && readIcon(d, window, out);
    XCloseDisplay(d);
    return ok;
}

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
