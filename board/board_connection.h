#pragma once
// BoardConnection: the board's serial traffic as the program brings it up
// and, at its end, takes it down again: the link thread stops
// first, so nothing touches the board state or the log afterwards, then the
// port closes.

#include <cstdint>
#include <memory>
#include <string>

#include "board/frame_parser.h"
#include "board/link_thread.h"
#include "board/serial_link.h"

namespace zarn {

class BoardConnection {
public:
    virtual ~BoardConnection() = default;
    virtual void startLinkThread() = 0;
};

// The serial link at 38400 bit/s to the board's port, with the link thread not yet
// started; requests go to it from now on, log records to `sink`. A silence limit (s)
// makes a board that sends nothing for that long count as lost (see LinkThread).
class SerialBoardConnection : public BoardConnection {
public:
    explicit SerialBoardConnection(RecordSink* sink, uint32_t silenceLimit = 0);
    ~SerialBoardConnection() override;
    void startLinkThread() override { thread_.start(); }

    bool portOpen() const { return link_.valid(); }
    std::string portName() const { return link_.name(); }
    uint64_t framesDecoded() const { return thread_.framesDecoded(); }

private:
    SerialLink link_;
    SystemSecondsClock clock_;
    LinkThread thread_;
};

std::unique_ptr<BoardConnection> openSerialBoard(RecordSink* sink);

}  // namespace zarn
