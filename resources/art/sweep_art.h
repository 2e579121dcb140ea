#pragma once
// Drawing helpers shared by the sweep screens' pictures.

#include <string_view>

#include "platform/gdi/dc.h"

namespace zarn::art {

// White ground with a one-pixel frame.
inline void framedWhite(CDC& dc, int w, int h, COLORREF frame) {
    dc.FillSolidRect(0, 0, w, h, RGB(255, 255, 255));
    CBrush brush(frame);
    dc.FrameRect(CRect(0, 0, w, h), &brush);
}

// Lines of text centred across rect, stacked from its top, on the given ground.
inline void label(CDC& dc, std::string_view text, const CRect& rect, COLORREF ink, COLORREF ground) {
    dc.SetTextColor(ink);
    dc.SetBkColor(ground);
    dc.DrawText(text, rect, DT_CENTER);
}

}  // namespace zarn::art
