#pragma once
// Artwork that a screen shows shrunk: the nearest-neighbour stretch keeps
// some rows and columns of a picture and drops the rest, and a dropped row
// can take a stroke of fine lettering with it.

#include <functional>

#include "platform/gdi/dc.h"

namespace zarn::art {

// Draws onto the picture in dc as it will be shown at `shown`: `paint` draws
// at the shown size, and each pixel it changes lands on every picture pixel
// that shows there. The rows and columns the stretch keeps so carry the
// drawing whole; the ones it drops repeat their kept neighbour above or left.
void drawAsShown(CDC& dc, CSize shown, const std::function<void(CDC&)>& paint);

}  // namespace zarn::art
