#pragma once
// Recorders that stand in for the serial link, the main frame and the log
// object in board tests.

#include <cstdint>
#include <string>
#include <vector>

#include "board/board_state.h"
#include "board/frame_parser.h"

namespace zarn::testing {

struct Request {
    uint8_t type;
    std::vector<uint8_t> payload;
    bool operator==(const Request&) const = default;
};

// A board state whose requests are recorded instead of sent.
class RecordingBoard : public BoardState {
public:
    bool sendRequest(uint8_t type, const uint8_t* payload, uint16_t length) override {
        requests.push_back({type, std::vector<uint8_t>(payload, payload + length)});
        return true;
    }
    bool postRequest(uint8_t type, const uint8_t* payload, uint16_t length) override {
        return sendRequest(type, payload, length);
    }
    std::vector<Request> requests;
};

struct MessageRecorder : MessagePoster {
    bool postMessage(uint32_t message) override {
        messages.push_back(message);
        return true;
    }
    int count(uint32_t message) const {
        int n = 0;
        for (uint32_t m : messages) n += m == message;
        return n;
    }
    std::vector<uint32_t> messages;
};

struct Record {
    uint8_t type;
    std::vector<uint8_t> bytes;
};

struct RecordRecorder : RecordSink {
    void setPendingRecord(uint8_t type, const uint8_t* bytes, int length) override {
        records.push_back({type, std::vector<uint8_t>(bytes, bytes + length)});
    }
    std::vector<Record> records;
};

// A board wired to recorders and to a parser of its own, as a link wires it; records go to
// `sink` when one is given, else to `log`.
struct WiredBoard {
    explicit WiredBoard(RecordSink* sink = nullptr) : parser(board, sink ? sink : &log) {
        board.notifyWindow = &window;
    }

    // Releases each delivered frame before the next byte, as the link thread does.
    void feed(const std::vector<uint8_t>& bytes) {
        for (uint8_t b : bytes) {
            parser.release();
            parser.feed(b);
        }
    }
    void feedSample(uint16_t offset, int16_t level) {
        const uint8_t p[5] = {static_cast<uint8_t>(offset), static_cast<uint8_t>(offset >> 8),
                              static_cast<uint8_t>(level), static_cast<uint8_t>(static_cast<uint16_t>(level) >> 8), 0};
        feedFrame(33, std::vector<uint8_t>(p, p + 5));
    }
    void feedFrame(uint8_t type, const std::vector<uint8_t>& payload);

    RecordingBoard board;
    MessageRecorder window;
    RecordRecorder log;
    FrameParser parser;
};

}  // namespace zarn::testing
