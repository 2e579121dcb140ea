#include "shell/title_marks.h"

#include <gtest/gtest.h>

#include "platform/gdi/colours.h"

namespace zarn {
namespace {

// A lost board outranks the position source: its mark takes the GPS mark's place.
TEST(TitleMarks, ALostBoardTakesTheGpsMarksPlace) {
    const COLORREF amber = RGB(255, 192, 0);
    struct Case {
        bool lost;
        GpsMark gps;
        WindowSystem::StatusMark mark;
    } cases[] = {
        {false, GpsMark::None, {}},
        {false, GpsMark::Searching, {"GPS", amber}},
        {false, GpsMark::Fix, {"GPS", kGreen}},
        {true, GpsMark::None, {"NO BOARD", kRed}},
        {true, GpsMark::Fix, {"NO BOARD", kRed}},
    };
    for (const Case& c : cases) {
        const auto mark = TitleMarks::markFor(c.lost, c.gps);
        EXPECT_EQ(mark.text, c.mark.text) << c.lost << static_cast<int>(c.gps);
        EXPECT_EQ(mark.colour, c.mark.colour) << c.lost << static_cast<int>(c.gps);
    }
}

}  // namespace
}  // namespace zarn
