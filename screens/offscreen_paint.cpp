#include "screens/offscreen_paint.h"

namespace zarn {

OffscreenPaint::OffscreenPaint(CDC* screen, const CRect& client) : screen_(screen), client_(client) {
    memory_.CreateCompatibleDC(screen);
    image_.CreateCompatibleBitmap(screen, client.Width(), client.Height());
    previous_ = memory_.SelectObject(&image_);
}

OffscreenPaint::~OffscreenPaint() {
    screen_->BitBlt(0, 0, client_.Width(), client_.Height(), &memory_, 0, 0, SRCCOPY);
    memory_.SelectObject(previous_);
    memory_.DeleteDC();
    image_.DeleteObject();
}

SelectedFont::SelectedFont(CDC* dc, int pointTenths, const char* face) : dc_(dc) {
    font_.CreatePointFont(pointTenths, face, dc);
    previous_ = dc->SelectObject(&font_);
}

SelectedFont::~SelectedFont() {
    dc_->SelectObject(previous_);
    font_.DeleteObject();
}

}  // namespace zarn
