#pragma once
// SimBoard: the receiver board's side of the protocol. It takes the bytes the program
// writes, answers every request with a frame of the same type, and streams what the
// current mode measures: 1 single-channel levels (14), 2 the short table's slots in turn
// (15), 5 the sweep's samples (33); 0 and other modes are silent. With a replay
// feed it sends the recorded measurements instead, in any mode but idle.

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "recording/replay_feed.h"
#include "tools/board_sim/radio_scene.h"

namespace zarn::sim {

class SimBoard {
public:
    static constexpr double kLevelInterval = 0.2;  // mode 1: five levels a second
    static constexpr double kSlotInterval = 0.02;  // mode 2: fifty slots a second

    SimBoard(RadioScene scene, std::string firmware, std::string serial);

    void receive(const uint8_t* bytes, size_t length);
    // Appends the next frame due at time t (answers first) and returns its type; -1 when
    // nothing is due.
    int nextFrame(double t, std::vector<uint8_t>& out);

    // Streams the log instead of the scene; its time runs while the board measures.
    void setReplay(ReplayFeed* feed) { replay_ = feed; }
    double replayTime() const { return replayTime_; }

    uint8_t mode() const { return mode_; }
    uint64_t requestsReceived() const { return requests_; }

private:
    void onRequest(uint8_t type, const std::vector<uint8_t>& payload);
    void answer(uint8_t type, std::vector<uint8_t> payload);
    int streamFrame(double t, std::vector<uint8_t>& out);

    RadioScene scene_;
    std::string firmware_, serial_;
    std::deque<std::pair<uint8_t, std::vector<uint8_t>>> answers_;

    // request parser
    int state_ = 0;
    uint8_t type_ = 0;
    std::vector<uint8_t> payload_;

    uint8_t mode_ = 0, band_ = 0;
    uint32_t step_ = 29384;
    uint16_t sweepStart_ = 1, sweepCount_ = 32, sweepStep_ = 1;
    uint32_t sweepIndex_ = 0;
    uint8_t tableLength_ = 0;
    struct Slot { uint8_t band = 0; uint16_t offset = 0; };
    Slot table_[256];
    uint32_t tableIndex_ = 0;
    double nextDue_ = 0;
    uint64_t requests_ = 0;
    ReplayFeed* replay_ = nullptr;
    double replayTime_ = 0, lastT_ = 0;
};

}  // namespace zarn::sim
