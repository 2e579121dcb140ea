#pragma once
// The status strip's INC box on the measurement screens: pen down inside it counts
// a marker, notes "Marker #n" for the log and draws the box pressed; pen up
// releases it.

#include "platform/ui/cwnd.h"

namespace zarn {

// False, and nothing done, when the point lies outside the INC box.
bool markerPenDown(CWnd* screen, CPoint point);
// Releases a pressed box and repaints the screen.
void markerPenUp(CWnd* screen);

}  // namespace zarn
