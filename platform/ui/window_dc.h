#pragma once
// WindowDC: a device context on the screen at a window's place. Its (0,0) is
// the window's top-left pixel; drawing is clipped to the window and to every
// parent; reading (as the source of a copy) sees what the screen shows.

#include "platform/gdi/dc.h"
#include "platform/ui/cwnd.h"

namespace zarn {

class WindowDC : public CDC {
public:
    explicit WindowDC(CWnd* wnd);
};

CRect visibleScreenRect(const CWnd* wnd);

}  // namespace zarn
