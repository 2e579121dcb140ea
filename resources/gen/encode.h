#pragma once
// Turning drawn artwork into the stored form of a bitmap resource.

#include <cstdint>
#include <vector>

#include "platform/gdi/surface.h"
#include "resources/gen/artwork.h"

namespace zarn::art {

// Draws a piece of artwork into a fresh bitmap of its size (black at the start).
Surface render(const Artwork& a);
// count, pixel pairs, rows top first; each run at most 2^32 - 1 pixels.
std::vector<uint32_t> runLengths(const Surface& s);
// 1 for every pixel that is not the transparent colour.
std::vector<uint8_t> opaqueMask(const Surface& s, COLORREF transparent);

}  // namespace zarn::art
