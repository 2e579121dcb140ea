#pragma once
// CZarnView: the first screen, where the PCS band's channel raster is chosen
// over the title picture before the main menu opens.

#include <array>

#include "platform/ui/doc_view.h"
#include "screens/menu_buttons.h"

namespace zarn {

constexpr unsigned kTitlePicture = 134;

class CZarnView : public CFormView {
    DECLARE_DYNCREATE(CZarnView)
public:
    static constexpr UINT kTemplate = 101;
    static const std::array<MenuButton, 3> kRasterButtons;
    static const std::array<uint32_t, 3> kRasters;

    CZarnView();
    void OnDraw(CDC* dc) override;
    void OnLButtonDown(UINT flags, CPoint point) override;

private:
    CBrush background_{kMenuAmber};
    CBrush buttonBrush_{kMenuNavy};
    CPen buttonPen_{PS_SOLID, 1, kMenuOutline};
};

}  // namespace zarn
