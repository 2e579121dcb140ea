#pragma once
// BoardConnection: the board's serial traffic as the main frame brings it up
// and, when the window closes, takes it down again: the link thread stops
// first, so nothing touches the board state or the log afterwards, then the
// port closes.

#include <cstdint>
#include <functional>
#include <memory>

namespace zarn {

class BoardConnection {
public:
    virtual ~BoardConnection() = default;
    virtual void startLinkThread() = 0;
};

// The serial link at 38400 bit/s to the board's port, with the link thread
// not yet started; requests go to it from now on.
std::unique_ptr<BoardConnection> openSerialBoard();

// What the frame's start-up waits and connects with; tests give their own.
struct FrameStartup {
    uint32_t waitMs = 1500;
    std::function<std::unique_ptr<BoardConnection>()> connect = openSerialBoard;
};
FrameStartup& frameStartup();

}  // namespace zarn
