#pragma once
// BoardLink: the board's port and link thread, brought up as zarn's start-up does: a pause,
// the link thread, the version request (the decoder asks for the serial number), a pause.
// A plain recording holds one for its run; zarn-record --tasks one for the whole site, so
// the board is brought up once and each run only opens its measurement on it.
//
//  - No port: exit 3, naming what was looked at; also when nothing answers on it, unless
//    the caller waits for the board (a site): then the link's silence limit counts it
//    lost and the link thread looks for it as for any board lost.
//  - The link thread's messages go to the run's queue given to setTarget(); with none
//    (between tasks) they are nobody's, and up() says what the board is.
//  - Between tasks the board, idle, is asked for its serial number every few seconds on a
//    thread of its own, so that one gone silent is found lost however long the site's
//    database keeps it busy; a run's target stops the asking first.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "board/board_connection.h"
#include "board/board_state.h"
#include "platform/message_box.h"

namespace zarn {

// The device's message boxes, where a program without a screen has them.
struct StderrBoxes : MessageBoxSink {
    int showMessageBox(const char* text, uint32_t) override;
};

class BoardLink : public MessagePoster {
public:
    BoardLink();
    ~BoardLink() override;
    BoardLink(const BoardLink&) = delete;
    BoardLink& operator=(const BoardLink&) = delete;

    // 0, or 3 (no board) after saying why on stderr; `port` is looked at first.
    int bringUp(const std::string& port, bool waitForBoard);
    // Messages for `target`, and the board left alone (nullptr: watched).
    void setTarget(MessagePoster* target);
    bool postMessage(uint32_t message) override;

    bool opened() const { return connection_ != nullptr; }
    SerialBoardConnection& connection() { return *connection_; }
    bool up() const;

private:
    void watch();

    BoardState& board_ = boardState();
    std::unique_ptr<SerialBoardConnection> connection_;
    std::mutex targetMutex_;
    MessagePoster* target_ = nullptr;
    std::mutex askMutex_;  // held while the watch asks, so a run's first request waits for the answer
    std::condition_variable watchWake_;
    bool watching_ = false, ending_ = false;
    std::thread watcher_;
};

}  // namespace zarn
