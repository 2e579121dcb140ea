#include "board/board_connection.h"

#include "board/board_state.h"
#include "board/byte_sender.h"
#include "board/link_thread.h"
#include "board/serial_link.h"

namespace zarn {
namespace {

constexpr uint32_t kLineSpeed = 38400;

class SerialBoardConnection : public BoardConnection {
public:
    explicit SerialBoardConnection(RecordSink* sink) : thread_(boardState(), link_.sendSlot(), link_, clock_, sink) {
        setRequestSender(&link_);
    }
    ~SerialBoardConnection() override {
        thread_.stop();
        setRequestSender(nullptr);
    }
    void startLinkThread() override { thread_.start(); }

private:
    SerialLink link_{kLineSpeed};
    SystemSecondsClock clock_;
    LinkThread thread_;
};

}  // namespace

std::unique_ptr<BoardConnection> openSerialBoard(RecordSink* sink) {
    return std::make_unique<SerialBoardConnection>(sink);
}

}  // namespace zarn
