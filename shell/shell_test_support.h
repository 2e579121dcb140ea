#pragma once
// The receiver application in a headless window system with a board that
// answers every request at once, for tests of the frame and the main menu.

#include <memory>
#include <vector>

#include "board/byte_sender.h"
#include "board/test_support.h"
#include "platform/headless/headless_backend.h"
#include "board/board_connection.h"
#include "shell/main_frame.h"
#include "shell/zarn_app.h"

namespace zarn::testing {

// Records each request and lets its wait end at once, as if the board answered.
class AnsweringBoard : public ByteSender {
public:
    bool sendBytes(const uint8_t* bytes, uint32_t length) override;
    std::vector<Request> requests;
    int connections = 0;
    int disconnections = 0;
    int threadStarts = 0;
};

class ShellHarness {
public:
    enum class Board { Answering, Serial };
    // Serial: the real serial link and link thread, with the start-up's real pauses.
    explicit ShellHarness(Board kind = Board::Answering);
    ~ShellHarness();

    HeadlessBackend backend;
    AnsweringBoard board;
    CZarnApp app;
    BOOL started = FALSE;

    CMainFrame* frame() const { return dynamic_cast<CMainFrame*>(app.m_pMainWnd); }
    CView* view() const { return frame() ? frame()->GetActiveView() : nullptr; }
    COLORREF pixel(int x, int y) const;  // client coordinates
    Surface client() const;
    void tap(int x, int y);              // client coordinates
    void command(UINT id);
};

}  // namespace zarn::testing
