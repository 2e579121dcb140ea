#pragma once
// XvfbServer: a private X server for the window tests and the measuring tool,
// on a display number it picks itself (-displayfd), stopped by the destructor.
// display() is empty when it did not come up within a generous wait.

#include <sys/types.h>

#include <string>

namespace zarn {

class XvfbServer {
public:
    // screen as Xvfb takes it, e.g. "640x480x24".
    explicit XvfbServer(const std::string& screen = "640x480x24");
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    const std::string& display() const { return display_; }  // ":N"
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace zarn
