#include "tools/board_sim/sim_board.h"

#include "board/request_frame.h"
#include "board/little_endian.h"

#include <algorithm>

namespace zarn::sim {
namespace {

enum ParseState { kIdle, kStart, kType, kTypeEscape, kData, kDataEscape };

uint16_t u16(const std::vector<uint8_t>& p, size_t at) {
    return at + 1 < p.size() ? static_cast<uint16_t>(p[at] | (p[at + 1] << 8)) : 0;
}

std::vector<uint8_t> text(const std::string& s) {
    std::vector<uint8_t> p(s.begin(), s.end());
    p.push_back(0);
    return p;
}

}  // namespace

SimBoard::SimBoard(RadioScene scene, std::string firmware, std::string serial)
    : scene_(std::move(scene)), firmware_(std::move(firmware)), serial_(std::move(serial)) {}

void SimBoard::receive(const uint8_t* bytes, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        const uint8_t b = bytes[i];
        switch (state_) {
            case kIdle: state_ = b == 0x11 ? kStart : kIdle; break;
            case kStart: state_ = b == 0x12 ? kType : kIdle; break;
            case kType:
                payload_.clear();
                type_ = b;
                state_ = b == 0x11 ? kTypeEscape : kData;
                break;
            case kTypeEscape: state_ = b == 0x14 ? kData : kIdle; break;
            case kData:
                if (b == 0x11) state_ = kDataEscape;
                else if (payload_.size() < 4096) payload_.push_back(b);
                else state_ = kIdle;
                break;
            case kDataEscape:
                if (b == 0x14) {
                    payload_.push_back(0x11);
                    state_ = kData;
                } else if (b == 0x13) {
                    onRequest(type_, payload_);
                    state_ = kIdle;
                } else {
                    state_ = b == 0x12 ? kType : kIdle;  // a new frame started inside a broken one
                }
                break;
        }
    }
}

void SimBoard::answer(uint8_t type, std::vector<uint8_t> payload) {
    answers_.emplace_back(type, std::move(payload));
}

void SimBoard::onRequest(uint8_t type, const std::vector<uint8_t>& p) {
    ++requests_;
    switch (type) {
        case 1: answer(1, text(firmware_)); break;
        case 2: answer(2, text(serial_)); break;
        case 8:
            mode_ = p.empty() ? 0 : p[0];
            sweepIndex_ = tableIndex_ = 0;
            nextDue_ = 0;
            answer(8, {mode_});
            break;
        case 9:
            band_ = p.empty() ? 0 : p[0];
            answer(9, {band_});
            break;
        case 10:
            step_ = p.size() >= 4 ? static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (p[3] << 24)) : 0;
            answer(10, {static_cast<uint8_t>(step_), static_cast<uint8_t>(step_ >> 8),
                        static_cast<uint8_t>(step_ >> 16), static_cast<uint8_t>(step_ >> 24)});
            break;
        case 17:
            if (p.size() >= 4) table_[p[0]] = Slot{p[1], u16(p, 2)};
            answer(17, {});
            break;
        case 21:
            if (p.size() >= 6) {
                sweepStart_ = u16(p, 0);
                sweepCount_ = u16(p, 2);
                sweepStep_ = u16(p, 4);
                sweepIndex_ = 0;
            }
            answer(21, {});
            break;
        case 32:
            tableLength_ = p.empty() ? 0 : p[0];
            tableIndex_ = 0;
            answer(32, {});
            break;
        default: answer(type, {}); break;  // 5 and anything else: acknowledged
    }
}

int SimBoard::nextFrame(double t, std::vector<uint8_t>& out) {
    if (mode_ != 0) replayTime_ += std::max(0.0, t - lastT_);
    lastT_ = t;
    if (!answers_.empty()) {
        auto [type, payload] = std::move(answers_.front());
        answers_.pop_front();
        appendFrame(out, type, payload.data(), payload.size());
        return type;
    }
    return streamFrame(t, out);
}

int SimBoard::streamFrame(double t, std::vector<uint8_t>& out) {
    if (replay_) return mode_ == 0 ? -1 : replay_->nextFrame(replayTime_, mode_, band_, out);
    std::vector<uint8_t> p;
    uint8_t type = 0;
    if (mode_ == 1 && t >= nextDue_) {
        appendU16(p, static_cast<uint16_t>(scene_.level(band_, stepFrequencyHz(band_, step_), t)));
        nextDue_ = t + kLevelInterval;
        type = 14;
    } else if (mode_ == 2 && tableLength_ > 0 && t >= nextDue_) {
        const uint32_t slot = tableIndex_++ % tableLength_;
        const Slot& s = table_[slot];
        p.push_back(static_cast<uint8_t>(slot));
        appendU16(p, static_cast<uint16_t>(scene_.level(s.band, offsetFrequencyHz(s.band, s.offset), t)));
        nextDue_ = t + kSlotInterval;
        type = 15;
    } else if (mode_ == 5 && sweepCount_ > 0) {
        const uint32_t offset = sweepStart_ + static_cast<uint32_t>(sweepStep_) * sweepIndex_;
        sweepIndex_ = (sweepIndex_ + 1) % sweepCount_;
        appendU16(p, static_cast<uint16_t>(offset));
        appendU16(p, static_cast<uint16_t>(scene_.level(band_, offsetFrequencyHz(band_, offset), t)));
        p.push_back(0);
        type = 33;
    } else {
        return -1;
    }
    appendFrame(out, type, p.data(), p.size());
    return type;
}

}  // namespace zarn::sim
