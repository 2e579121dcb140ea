#include "screens/band_raster_view.h"

#include "board/board_state.h"
#include "screens/offscreen_paint.h"
#include "screens/screen_host.h"
#include "screens/sounds.h"

namespace zarn {

IMPLEMENT_DYNCREATE(CZarnView, CFormView)

const std::array<MenuButton, 3> CZarnView::kRasterButtons = {{
    {{0, 130, 240, 160}, "Use 800 (30kHz) / 1900 (30kHz)"},
    {{0, 160, 240, 190}, "Use 800 (30kHz) / 1900 (50kHz)"},
    {{0, 190, 240, 220}, "Use 800 (30kHz) / 1900 (200kHz)"},
}};
const std::array<uint32_t, 3> CZarnView::kRasters = {30000, 50000, 200000};

CZarnView::CZarnView() : CFormView(kTemplate) {}

void CZarnView::OnDraw(CDC* dc) {
    CRect client;
    GetClientRect(&client);
    OffscreenPaint paint(dc, client);
    SelectedFont font(paint.dc(), 100);
    paintMenuBackground(paint.dc(), client, &background_, kTitlePicture);
    paintMenuButtons(paint.dc(), kRasterButtons, &buttonPen_, &buttonBrush_);
}

void CZarnView::OnLButtonDown(UINT flags, CPoint point) {
    const int hit = menuButtonAt(kRasterButtons, point);
    if (hit >= 0) {
        boardState().pcsPlan.setPcsRaster(kRasters[static_cast<size_t>(hit)]);
        if (ScreenHost* host = screenHost()) host->switchToMainMenu();
        playOnlineSound();
    }
    CFormView::OnLButtonDown(flags, point);
}

}  // namespace zarn
