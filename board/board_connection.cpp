#include "board/board_connection.h"

#include "board/board_state.h"
#include "board/byte_sender.h"

namespace zarn {
namespace {

constexpr uint32_t kLineSpeed = 38400;

}  // namespace

SerialBoardConnection::SerialBoardConnection(RecordSink* sink, uint32_t silenceLimit)
    : link_(kLineSpeed), thread_(boardState(), link_.sendSlot(), link_, clock_, sink) {
    thread_.setSilenceLimit(silenceLimit);
    setRequestSender(&link_);
}

SerialBoardConnection::~SerialBoardConnection() {
    thread_.stop();
    setRequestSender(nullptr);
}

std::unique_ptr<BoardConnection> openSerialBoard(RecordSink* sink) {
    return std::make_unique<SerialBoardConnection>(sink);
}

}  // namespace zarn
