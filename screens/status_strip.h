#pragma once
// StatusStrip: the coloured information lines at the foot of the screens, the
// animated title band at their head, and the INC marker button whose
// rectangle and pressed state the screens' touch handlers share. One exists;
// the main frame creates it.

#include <cstdint>
#include <utility>

#include "platform/gdi/dc.h"
#include "recording/log_file.h"

namespace zarn {

constexpr CRect kIncRect{205, 256, 238, 268};
constexpr int kFirstBannerBitmap = 135;
constexpr int kBannerFrames = 15;

class StatusStrip {
public:
    explicit StatusStrip(LocalTimeSource clock = currentLocalTime);
    virtual ~StatusStrip() = default;

    void drawIdentityLine(CDC* dc);
    void drawLogLine(CDC* dc);
    void drawBandLine(CDC* dc);
    void drawClockLine(CDC* dc);
    void drawIncButton(CDC* dc);
    // Draws the current banner frame, then moves on to the next.
    void drawBanner(CDC* dc);

    void setPressed(uint8_t value) { pressed_ = value; }
    uint8_t isPressed() const { return pressed_; }

    // Nothing is drawn when the bitmap resource does not load.
    void drawBitmap(CDC* dc, unsigned id, int x, int y, int width, int height);
    void drawBitmapInRect(CDC* dc, unsigned id, int left, int top, int right, int bottom);

    void setClock(LocalTimeSource clock) { clock_ = std::move(clock); }

private:
    void drawLine(CDC* dc, const CRect& rect, COLORREF colour, const char* text);

    uint8_t pressed_ = 0;
    LocalTimeSource clock_;
};

// The one strip: createStatusStrip makes it (replacing any earlier one);
// statusStrip() makes it on first use when nobody did.
StatusStrip& createStatusStrip();
StatusStrip& statusStrip();

// The banner frame that the next drawBanner shows, 1..15.
int bannerFrame();
void setBannerFrame(int frame);
// The bitmap resource that banner frame k shows.
unsigned bannerBitmap(int frame);

// Stretches the whole bitmap resource onto dst; false when it does not load.
bool stretchBitmapResource(CDC* dc, unsigned id, const CRect& dst);

}  // namespace zarn
