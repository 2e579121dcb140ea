#include "shell/shell_test_support.h"

#include <stdlib.h>

#include "board/board_state.h"
#include "board/request_frame.h"
#include "platform/ui/window_system.h"
#include "screens/screen_test_support.h"

namespace zarn::testing {
namespace {

class AnsweringConnection : public BoardConnection {
public:
    explicit AnsweringConnection(AnsweringBoard& board) : board_(board) {
        ++board_.connections;
        setRequestSender(&board_);
    }
    ~AnsweringConnection() override {
        setRequestSender(nullptr);
        ++board_.disconnections;
    }
    void startLinkThread() override { ++board_.threadStarts; }

private:
    AnsweringBoard& board_;
};

// Undoes the framing: 0x11 0x12, type, payload, 0x11 0x13, with 0x11 sent as 0x11 0x14.
Request unframe(const uint8_t* bytes, uint32_t length) {
    std::vector<uint8_t> body;
    for (uint32_t i = 2; i + 2 < length; ++i) {
        body.push_back(bytes[i]);
        if (bytes[i] == kFrameMark) ++i;
    }
    Request r{body.empty() ? uint8_t{0} : body[0], {}};
    if (!body.empty()) r.payload.assign(body.begin() + 1, body.end());
    return r;
}

}  // namespace

bool AnsweringBoard::sendBytes(const uint8_t* bytes, uint32_t length) {
    requests.push_back(unframe(bytes, length));
    boardState().replyEvents[requests.back().type].set();
    return true;
}

ShellHarness::ShellHarness(Board kind) {
    setenv("ZARN_GPSD", "off", 0);  // a gpsd on this machine stays out of tests that name none
    backend.install();
    if (kind == Board::Answering) {
        frameStartup().waitMs = 0;
        frameStartup().connect = [this](RecordSink*) { return std::make_unique<AnsweringConnection>(board); };
    }
    started = app.InitInstance();
    backend.runUntilIdle();
}

ShellHarness::~ShellHarness() {
    if (app.m_pMainWnd && app.m_pMainWnd->isCreated()) app.m_pMainWnd->DestroyWindow();
    WindowSystem::get().reset(nullptr);
    frameStartup() = FrameStartup{};
    for (Event& e : boardState().replyEvents) e.reset();
}

COLORREF ShellHarness::pixel(int x, int y) const { return clientPixel(backend.framebuffer(), x, y); }

Surface ShellHarness::client() const { return clientArea(backend.framebuffer()); }

void ShellHarness::tap(int x, int y) {
    backend.tap(x, y + kClientTop);
    backend.runUntilIdle();
}

void ShellHarness::command(UINT id) {
    frame()->SendMessage(WM_COMMAND, id, 0);
    backend.runUntilIdle();
}

}  // namespace zarn::testing
