#include "shell/main_menu.h"

#include "board/board_state.h"
#include "screens/channel_openers.h"
#include "screens/offscreen_paint.h"
#include "screens/sounds.h"
#include "screens/status_strip.h"
#include "screens/sweep_openers.h"
#include "shell/main_frame.h"

namespace zarn {

IMPLEMENT_DYNCREATE(CMain, CFormView)

const std::array<MenuButton, 4> CMain::kButtons = {{
    {{20, 25, 220, 55}, "SINGLE CHANNEL"},
    {{20, 60, 220, 90}, "CHANNEL TABLE"},
    {{20, 95, 220, 125}, "SPECTRUM ANALYSIS"},
    {{20, 130, 220, 160}, "BEST SERVERS"},
}};

CMain::CMain() : CFormView(kTemplate) {}

void CMain::OnDraw(CDC* dc) {
    CRect client;
    GetClientRect(&client);
    OffscreenPaint paint(dc, client);
    CDC* image = paint.dc();
    SelectedFont font(image, 100);
    paintMenuBackground(image, client, &background_, kMainMenuPicture);
    paintMenuButtons(image, kButtons, &buttonPen_, &buttonBrush_);
    StatusStrip& strip = statusStrip();
    strip.drawIdentityLine(image);
    strip.drawBandLine(image);
    strip.drawClockLine(image);
    if (boardState().logging == 1) strip.drawLogLine(image);
}

void CMain::OnLButtonDown(UINT flags, CPoint point) {
    switch (menuButtonAt(kButtons, point)) {
    case kSingleChannel: onSingleChannel(); break;
    case kChannelTable: onChannelTable(); break;
    case kSpectrumAnalysis: openSpectrumAnalysis(boardState(), screenHost(), kHiddenScreenId); break;
    case kBestServers: openBestServers(boardState(), screenHost(), kHiddenScreenId); break;
    default:
        if (kIncRect.PtInRect(point)) onIncBox();
        break;
    }
    CFormView::OnLButtonDown(flags, point);
}

void CMain::onSingleChannel() { openSingleChannel(boardState(), screenHost(), kHiddenScreenId); }

void CMain::onChannelTable() { openChannelTable(boardState(), screenHost(), kHiddenScreenId, this); }

void CMain::onIncBox() {
    PlayWaveResource("PING");
    ++boardState().markerCount;
    statusStrip().setPressed(1);
    InvalidateRect(nullptr, FALSE);
}

}  // namespace zarn
