#pragma once
// CServer: the best-servers screen: how far the running sweep has got, and the
// ten strongest points of the last whole sweep as frequency, channel and level.

#include "platform/ui/doc_view.h"

namespace zarn {

class CServer : public CFormView {
    DECLARE_DYNCREATE(CServer)
public:
    static constexpr UINT kTemplate = 113;
    static constexpr unsigned kTableBitmap = 157;
    static constexpr int kRows = 10;

    CServer();
    void OnDraw(CDC* dc) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
};

}  // namespace zarn
