#pragma once
// BoardConnection: the board's serial traffic as the program brings it up
// and, at its end, takes it down again: the link thread stops
// first, so nothing touches the board state or the log afterwards, then the
// port closes.

#include <memory>

#include "board/frame_parser.h"

namespace zarn {

class BoardConnection {
public:
    virtual ~BoardConnection() = default;
    virtual void startLinkThread() = 0;
};

// The serial link at 38400 bit/s to the board's port, with the link thread
// not yet started; requests go to it from now on, log records to `sink`.
std::unique_ptr<BoardConnection> openSerialBoard(RecordSink* sink);

}  // namespace zarn
