#include <gtest/gtest.h>

#include "platform/gdi/dc.h"
#include "platform/gdi/golden.h"

namespace zarn {
namespace {

TEST(TextGoldenTest, StatusLinesAndButtonsLookRight) {
    Surface s(240, 90);
    CDC dc(s);
    CFont small, large;
    ASSERT_TRUE(small.CreatePointFont(80, "System"));
    ASSERT_TRUE(large.CreatePointFont(100, "System"));
    dc.SelectObject(&small);
    dc.SetTextColor(RGB(255, 255, 255));
    const struct { const char* text; COLORREF bk; } lines[] = {
        {"(Firmware Version 0.00)(Serial Number XXXXXX)", RGB(64, 0, 0)},
        {"Log File Is Now 12 Kb", RGB(0, 0, 196)},
        {"(869.01-893.97MHz/30kHz) (1930.00-1990.00/200kHz)", RGB(0, 128, 0)},
    };
    int top = 0;
    for (const auto& line : lines) {
        dc.SetBkColor(line.bk);
        dc.FillSolidRect(CRect(0, top, 240, top + 15), line.bk);
        dc.DrawText(line.text, CRect(0, top, 240, top + 15), DT_CENTER | DT_VCENTER);
        top += 15;
    }
    CPen pen(PS_SOLID, 1, RGB(192, 0, 0));
    CBrush brush(RGB(0, 0, 128));
    dc.SelectObject(&pen);
    dc.SelectObject(&brush);
    dc.SelectObject(&large);
    dc.SetBkColor(RGB(0, 0, 128));
    dc.Rectangle(0, 45, 240, 75);
    dc.DrawText("Use 800 (30kHz) / 1900 (200kHz)", CRect(0, 45, 240, 75), DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    dc.SelectObject(&small);
    dc.DrawText("SPECTRUM ANALYSIS", CRect(20, 76, 220, 90), DT_CENTER | DT_VCENTER);
    // The identity, log and band lines, a raster button and a main-menu label as the screens draw them.
    GoldenResult r = compareWithGolden(s, "text_lines");
    EXPECT_TRUE(r.ok) << r.message;
}

}  // namespace
}  // namespace zarn
