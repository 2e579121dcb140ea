#pragma once
// OffscreenPaint: a screen paints into a memory image of its client area and
// the image reaches the screen in one copy when the painting ends, so the
// screen never shows a half-drawn state.

#include "platform/gdi/dc.h"

namespace zarn {

class OffscreenPaint {
public:
    OffscreenPaint(CDC* screen, const CRect& client);
    ~OffscreenPaint();
    OffscreenPaint(const OffscreenPaint&) = delete;
    OffscreenPaint& operator=(const OffscreenPaint&) = delete;

    CDC* dc() { return &memory_; }

private:
    CDC* screen_;
    CRect client_;
    CDC memory_;
    CBitmap image_;
    CBitmap* previous_ = nullptr;
};

// Selects a font for as long as it lives and gives the old one back.
class SelectedFont {
public:
    SelectedFont(CDC* dc, int pointTenths, const char* face = "System");
    ~SelectedFont();
    SelectedFont(const SelectedFont&) = delete;
    SelectedFont& operator=(const SelectedFont&) = delete;

private:
    CDC* dc_;
    CFont font_;
    CFont* previous_ = nullptr;
};

}  // namespace zarn
