#pragma once
// The picture-and-buttons look that the band-raster screen and the main menu
// share: an amber ground, a 240 x 320 picture squeezed into the top 270 rows,
// and navy buttons outlined in red with white labels.

#include <span>

#include "platform/gdi/dc.h"

namespace zarn {

constexpr COLORREF kMenuAmber = RGB(255, 192, 0);
constexpr COLORREF kMenuNavy = RGB(0, 0, 128);
constexpr COLORREF kMenuOutline = RGB(192, 0, 0);

struct MenuButton {
    CRect rect;
    const char* label;
};

// Black-on-amber text, the amber fill over the client area and the picture
// (skipped when it does not load). The caller has selected its font.
void paintMenuBackground(CDC* dc, const CRect& client, CBrush* background, unsigned pictureId);
// White-on-navy labels centred in their outlined buttons.
void paintMenuButtons(CDC* dc, std::span<const MenuButton> buttons, CPen* pen, CBrush* brush);
// The first button that holds the point, -1 for none.
int menuButtonAt(std::span<const MenuButton> buttons, CPoint point);

}  // namespace zarn
