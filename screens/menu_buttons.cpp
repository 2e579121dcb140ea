#include "screens/menu_buttons.h"

#include "screens/status_strip.h"

namespace zarn {

void paintMenuBackground(CDC* dc, const CRect& client, CBrush* background, unsigned pictureId) {
    dc->SetTextColor(RGB(0, 0, 0));
    dc->SetBkColor(kMenuAmber);
    dc->FillRect(client, background);
    stretchBitmapResource(dc, pictureId, CRect{0, 0, 240, 270});
}

void paintMenuButtons(CDC* dc, std::span<const MenuButton> buttons, CPen* pen, CBrush* brush) {
    dc->SetTextColor(RGB(255, 255, 255));
    dc->SetBkColor(kMenuNavy);
    CPen* oldPen = dc->SelectObject(pen);
    CBrush* oldBrush = dc->SelectObject(brush);
    for (const MenuButton& button : buttons) {
        dc->Rectangle(button.rect);
        dc->DrawText(button.label, button.rect, DT_CENTER | DT_VCENTER);
    }
    dc->SelectObject(oldPen);
    dc->SelectObject(oldBrush);
}

int menuButtonAt(std::span<const MenuButton> buttons, CPoint point) {
    for (size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i].rect.PtInRect(point)) return static_cast<int>(i);
    return -1;
}

}  // namespace zarn
