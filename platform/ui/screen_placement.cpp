#include "platform/ui/screen_placement.h"

#include <algorithm>
#include <cstring>

namespace zarn {

namespace {

// Rounds towards minus infinity, so points left of or above the picture stay off it.
int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

ScreenPlacement::ScreenPlacement(int rotation, int scale, CPoint origin)
    : rotation_(validRotation(rotation) ? rotation : 0), scale_(std::max(1, scale)), origin_(origin) {}

ScreenPlacement ScreenPlacement::fit(CSize output, int rotation, int most) {
    ScreenPlacement p(rotation, 1, {});
    const CSize turned = p.turnedSize();
    int scale = std::min(output.cx / turned.cx, output.cy / turned.cy);
    if (most > 0) scale = std::min(scale, most);
    p.scale_ = std::max(1, scale);
    p.origin_ = {(output.cx - turned.cx * p.scale_) / 2, (output.cy - turned.cy * p.scale_) / 2};
    return p;
}

CSize ScreenPlacement::turnedSize() const {
    return rotation_ % 180 == 0 ? kDevice : CSize(kDevice.cy, kDevice.cx);
}

CSize ScreenPlacement::pictureSize() const {
    const CSize t = turnedSize();
    return {t.cx * scale_, t.cy * scale_};
}

CPoint ScreenPlacement::turn(CPoint d) const {
    switch (rotation_) {
    case 90: return {kDevice.cy - 1 - d.y, d.x};
    case 180: return {kDevice.cx - 1 - d.x, kDevice.cy - 1 - d.y};
    case 270: return {d.y, kDevice.cx - 1 - d.x};
    default: return d;
    }
}

CPoint ScreenPlacement::unturn(CPoint t) const {
    switch (rotation_) {
    case 90: return {t.y, kDevice.cy - 1 - t.x};
    case 180: return {kDevice.cx - 1 - t.x, kDevice.cy - 1 - t.y};
    case 270: return {kDevice.cx - 1 - t.y, t.x};
    default: return t;
    }
}

CPoint ScreenPlacement::toDevice(CPoint output) const {
    return unturn({floorDiv(output.x - origin_.x, scale_), floorDiv(output.y - origin_.y, scale_)});
}

CRect ScreenPlacement::toOutput(const CRect& device) const {
    if (device.IsRectEmpty()) return {};
    const CPoint a = turn({device.left, device.top});
    const CPoint b = turn({device.right - 1, device.bottom - 1});
    CRect turned(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1);
    return {origin_.x + turned.left * scale_, origin_.y + turned.top * scale_, origin_.x + turned.right * scale_,
            origin_.y + turned.bottom * scale_};
}

// One turned row at a time: its pixels widened by the scale, then copied down.
// Along a turned row the device index moves by a fixed step.
void ScreenPlacement::draw(const Surface& screen, const CRect& changed, uint32_t* out, CSize size, int pitch) const {
    CRect device;
    if (!device.IntersectRect(changed, CRect(0, 0, screen.width, screen.height))) return;
    CRect target;
    if (!target.IntersectRect(toOutput(device), CRect(0, 0, size.cx, size.cy))) return;
    const CRect turned(floorDiv(target.left - origin_.x, scale_), floorDiv(target.top - origin_.y, scale_),
                       floorDiv(target.right - 1 - origin_.x, scale_) + 1, floorDiv(target.bottom - 1 - origin_.y, scale_) + 1);
    const ptrdiff_t step = rotation_ == 0 ? 1 : rotation_ == 90 ? -screen.width : rotation_ == 180 ? -1 : screen.width;
    const size_t bytes = static_cast<size_t>(target.Width()) * sizeof(uint32_t);
    for (int v = turned.top; v < turned.bottom; ++v) {
        const int rowTop = std::max(target.top, origin_.y + v * scale_);
        const int rowEnd = std::min(target.bottom, origin_.y + (v + 1) * scale_);
        uint32_t* row = out + static_cast<ptrdiff_t>(rowTop) * pitch;
        const CPoint start = unturn({turned.left, v});
        ptrdiff_t at = static_cast<ptrdiff_t>(start.y) * screen.width + start.x;
        for (int u = turned.left; u < turned.right; ++u, at += step) {
            const int from = std::max(target.left, origin_.x + u * scale_);
            const int to = std::min(target.right, origin_.x + (u + 1) * scale_);
            const uint32_t pixel = screen.pixels[static_cast<size_t>(at)];
            for (int x = from; x < to; ++x) row[x] = pixel;
        }
        for (int y = rowTop + 1; y < rowEnd; ++y)
            std::memcpy(out + static_cast<ptrdiff_t>(y) * pitch + target.left, row + target.left, bytes);
    }
}

}  // namespace zarn
