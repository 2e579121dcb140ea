#include "resources/gen/encode.h"

namespace zarn::art {

Surface render(const Artwork& a) {
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&dc, a.width, a.height);
    dc.SelectObject(&bitmap);
    a.draw(dc);
    return *bitmap.surface();
}

std::vector<uint32_t> runLengths(const Surface& s) {
    std::vector<uint32_t> runs;
    for (size_t i = 0; i < s.pixels.size();) {
        size_t j = i;
        while (j < s.pixels.size() && s.pixels[j] == s.pixels[i] && j - i < 0xFFFFFFFFu) ++j;
        runs.push_back(static_cast<uint32_t>(j - i));
        runs.push_back(s.pixels[i]);
        i = j;
    }
    return runs;
}

std::vector<uint8_t> opaqueMask(const Surface& s, COLORREF transparent) {
    std::vector<uint8_t> mask(s.pixels.size());
    for (size_t i = 0; i < mask.size(); ++i) mask[i] = s.pixels[i] != rgbToPixel(transparent);
    return mask;
}

}  // namespace zarn::art
