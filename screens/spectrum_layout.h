#pragma once
// Where the spectrum screen puts its pictures and what it draws them with.

#include <array>

#include "platform/gdi/geometry.h"
#include "platform/gdi/surface.h"

namespace zarn::spectrum {

constexpr CRect kGraph{30, 24, 231, 157};
constexpr int kGraphColumns = 201;
constexpr unsigned kGraticule = 158;
constexpr CPoint kGraticuleAt{10, 20};
constexpr CSize kGraticuleSize{221, 141};

// The big buttons, in the order they are drawn.
struct BigButton {
    CRect rect;
    unsigned bitmap;
};
constexpr std::array<BigButton, 6> kBigButtons = {{
    {{123, 181, 158, 207}, 164},  // zoom in
    {{123, 210, 158, 236}, 163},  // zoom out
    {{163, 181, 198, 207}, 162},  // marker to peak
    {{163, 210, 198, 236}, 161},  // marker to centre
    {{203, 181, 238, 207}, 159},  // marker left
    {{203, 210, 238, 236}, 160},  // marker right
}};
enum BigButtonIndex { kZoomIn, kZoomOut, kMarkerToPeak, kMarkerToCentre, kMarkerLeft, kMarkerRight };

// The trace buttons: one column per flag, one row per trace.
enum TraceFlag { kEnable, kVisible, kHold };
constexpr std::array<int, 3> kTraceColumnLeft = {3, 43, 83};
constexpr std::array<int, 3> kTraceRowTop = {181, 200, 219};
constexpr CRect traceButton(int flag, int trace) {
    return {kTraceColumnLeft[flag], kTraceRowTop[trace - 1], kTraceColumnLeft[flag] + 35, kTraceRowTop[trace - 1] + 17};
}
// Bitmap of each button face: [flag][trace - 1][flag set ? 0 : 1].
constexpr unsigned kTraceFaces[3][3][2] = {
    {{167, 166}, {169, 168}, {165, 170}},
    {{179, 178}, {181, 180}, {177, 182}},
    {{173, 172}, {175, 174}, {171, 176}},
};

constexpr std::array<COLORREF, 3> kTracePens = {RGB(192, 0, 0), RGB(0, 192, 255), RGB(255, 255, 0)};
constexpr COLORREF kCursorPen = RGB(255, 255, 255);

constexpr CRect kCentreLine{0, 157, 240, 167};
constexpr CRect kMarkerLine{0, 167, 240, 177};

}  // namespace zarn::spectrum
