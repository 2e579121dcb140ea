#pragma once
// Message boxes: AfxMessageBox shows a text with an OK button and returns the button
// pressed (IDOK). It goes to the installed sink (tests install one that records), else to
// the screen platform's own boxes when a program has them, else to standard error with
// IDOK returned at once.

#include <cstdint>
#include <string>

namespace zarn {

constexpr uint32_t MB_OK = 0x0;
constexpr int IDOK = 1;

struct MessageBoxSink {
    virtual ~MessageBoxSink() = default;
    virtual int showMessageBox(const char* text, uint32_t type) = 0;
};

void setMessageBoxSink(MessageBoxSink* sink);      // null goes back to the platform's boxes
void setPlatformMessageBoxes(MessageBoxSink* sink);  // the screen platform's boxes
int AfxMessageBox(const std::string& text, uint32_t type = MB_OK, uint32_t help = 0);

}  // namespace zarn
