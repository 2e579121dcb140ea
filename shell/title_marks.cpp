#include "shell/title_marks.h"

#include "platform/gdi/colours.h"

namespace zarn {

namespace {
constexpr COLORREF kAmber = RGB(255, 192, 0);
}  // namespace

WindowSystem::StatusMark TitleMarks::markFor(bool boardLost, GpsMark gps) {
    if (boardLost) return {"NO BOARD", kRed};
    switch (gps) {
    case GpsMark::Fix: return {"GPS", kGreen};
    case GpsMark::Searching: return {"GPS", kAmber};
    case GpsMark::None: break;
    }
    return {};
}

void TitleMarks::setBoardLost(bool lost) {
    boardLost_ = lost;
    show();
}

void TitleMarks::setGps(GpsMark gps) {
    gps_ = gps;
    show();
}

void TitleMarks::show() { WindowSystem::get().setStatusMark(markFor(boardLost_, gps_)); }

}  // namespace zarn
