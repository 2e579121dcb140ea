#pragma once
// ScreenPlacement: where the 240 x 320 device screen lands on a window or a
// display: turned for a panel mounted sideways, scaled by a whole factor and
// placed. One transform serves the picture and the pointer, so a tap on the
// glass lands on what is drawn under it.
//
//  - rotation: 0, 90, 180 or 270 degrees clockwise (the picture's top edge
//    faces right at 90).
//  - fit(output, rotation, most): centred at the largest whole scale that
//    fits output, at most `most` (0: no limit), never below 1.
//  - toDevice(p): the device pixel under output point p; points off the
//    picture map outside 0..239 x 0..319, for the window system to ignore.
//  - toOutput(r): the output rectangle that device rectangle r covers.
//  - draw(screen, changed, out, size, pitch): writes the changed device
//    pixels, turned and scaled, into an XRGB8888 output image (pitch in
//    pixels), clipped to its size; nothing else of the image is touched.

#include <cstdint>

#include "platform/gdi/geometry.h"
#include "platform/gdi/surface.h"
#include "platform/ui/window_system.h"

namespace zarn {

class ScreenPlacement {
public:
    static constexpr CSize kDevice{WindowSystem::kScreenWidth, WindowSystem::kScreenHeight};

    ScreenPlacement() = default;
    ScreenPlacement(int rotation, int scale, CPoint origin);
    static ScreenPlacement fit(CSize output, int rotation, int most);
    static bool validRotation(int degrees) { return degrees == 0 || degrees == 90 || degrees == 180 || degrees == 270; }

    int rotation() const { return rotation_; }
    int scale() const { return scale_; }
    CPoint origin() const { return origin_; }
    CSize turnedSize() const;   // the turned picture at scale 1
    CSize pictureSize() const;  // the turned picture on the output

    CPoint toDevice(CPoint output) const;
    CRect toOutput(const CRect& device) const;
    void draw(const Surface& screen, const CRect& changed, uint32_t* out, CSize size, int pitch) const;

private:
    CPoint turn(CPoint device) const;      // device pixel -> turned pixel
    CPoint unturn(CPoint turned) const;    // turned pixel -> device pixel

    int rotation_ = 0;
    int scale_ = 1;
    CPoint origin_;
};

}  // namespace zarn
