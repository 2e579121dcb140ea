#pragma once
// Message boxes: AfxMessageBox shows a text with an OK button and returns the button
// pressed (IDOK). The screen platform installs the sink that draws the box; until one is
// installed the text goes to standard error and IDOK is returned at once. Tests install a
// sink that records.

#include <cstdint>

namespace zarn {

constexpr uint32_t MB_OK = 0x0;
constexpr int IDOK = 1;

struct MessageBoxSink {
    virtual ~MessageBoxSink() = default;
    virtual int showMessageBox(const char* text, uint32_t type) = 0;
};

void setMessageBoxSink(MessageBoxSink* sink);  // null restores the standard-error fallback
int AfxMessageBox(const char* text, uint32_t type = MB_OK);

}  // namespace zarn
