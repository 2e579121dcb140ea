#pragma once
// The INC marker button that the measurement screens share with the status
// strip: pen down counts a marker and notes it in the log, pen up releases it.

#include "platform/ui/cwnd.h"

namespace zarn {

// Pen down on the INC box: "PING", one more marker, its note for the log, the box drawn pressed.
// False (and nothing done) when the point is outside the box.
bool pressIncButton(CWnd* screen, CPoint point);
// Pen up: a pressed box is released and the screen repainted.
void releaseIncButton(CWnd* screen);

}  // namespace zarn
