#pragma once
// CMain: the main menu, the hub between the measurement screens: a picture
// with four large buttons over the status strip's lines, and the INC box.

#include <array>

#include "platform/ui/doc_view.h"
#include "screens/menu_buttons.h"

namespace zarn {

constexpr unsigned kMainMenuPicture = 150;

class CMain : public CFormView {
    DECLARE_DYNCREATE(CMain)
public:
    static constexpr UINT kTemplate = 107;
    enum Button { kSingleChannel, kChannelTable, kSpectrumAnalysis, kBestServers };
    static const std::array<MenuButton, 4> kButtons;

    CMain();
    void OnDraw(CDC* dc) override;
    void OnLButtonDown(UINT flags, CPoint point) override;

private:
    void onIncBox();

    CBrush background_{kMenuAmber};
    CBrush buttonBrush_{kMenuNavy};
    CPen buttonPen_{PS_SOLID, 1, kMenuOutline};
};

}  // namespace zarn
