#include "screens/measurement_view.h"

#include <gtest/gtest.h>

#include "platform/gdi/colours.h"
#include "screens/screen_test_support.h"

namespace zarn {
namespace {

// Marks a corner of its picture and, inside its first paint, starts another one.
class NestingView : public CMeasurementView {
    DECLARE_DYNCREATE(NestingView)
public:
    NestingView() : CMeasurementView(0) {}
    int paints = 0;

protected:
    void paint(CDC* dc, const CRect&) override {
        ++paints;
        dc->FillSolidRect(0, 0, 10, 10, kRed);
        if (paints == 1) OnDraw(dc);
    }
};
IMPLEMENT_DYNCREATE(NestingView, CMeasurementView)

TEST(MeasurementViewTest, APaintStartedDuringAPaintIsDroppedAndTheNextOneRuns) {
    testing::ScreenHarness screen(RUNTIME_CLASS(NestingView));
    auto* view = dynamic_cast<NestingView*>(screen.view());
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->paints, 1);  // the first paint, whose nested one was dropped
    EXPECT_EQ(screen.pixel(9, 9), kRed);
    EXPECT_EQ(screen.pixel(10, 10), kBlack);  // the picture's black ground
    EXPECT_EQ(screen.pixel(239, 267), kBlack);
    screen.paint();
    EXPECT_EQ(view->paints, 2);
}

}  // namespace
}  // namespace zarn
