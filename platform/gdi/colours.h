#pragma once
// The colours that more than one screen, dialog or test names.

#include "platform/gdi/surface.h"

namespace zarn {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kCyan = RGB(0, 255, 255);
constexpr COLORREF kNavy = RGB(0, 0, 128);

}  // namespace zarn
