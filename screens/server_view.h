#pragma once
// CServer: the best-servers screen: how far the running sweep has got, and the
// ten strongest points of the last whole sweep as frequency, channel and level.

#include "screens/measurement_view.h"

namespace zarn {

class CServer : public CMeasurementView {
    DECLARE_DYNCREATE(CServer)
public:
    static constexpr UINT kTemplate = 113;
    static constexpr unsigned kTableBitmap = 157;
    static constexpr int kRows = 10;

    CServer();

protected:
    void paint(CDC* dc, const CRect& client) override;
};

}  // namespace zarn
