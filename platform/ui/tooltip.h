#pragma once
// ToolTipWnd: a small pale-yellow box with one line of text, shown above the
// command bar. It never takes the pen.

#include <string>

#include "platform/ui/cwnd.h"

namespace zarn {

class ToolTipWnd : public CWnd {
public:
    // Shows text with its bottom edge at screen row bottom, left edge near x.
    void showAt(const std::string& text, int x, int bottom);
    void OnPaint() override;
};

}  // namespace zarn
