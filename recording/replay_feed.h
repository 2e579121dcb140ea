#pragma once
// ReplayFeed: what the simulated board sends when it plays a recorded log back.
//
// - Each record becomes the frames a board sends for it: a spectrum record its
//   sweep samples (33) in order, a channel-table record one table level (15)
//   per slot, a single-channel record the level the program asked for (14 for
//   the tuned band, or 15 for slots 0 and 1 in the two-band table mode), a
//   best-servers record one sample per ranked point, so the program ranks
//   them again. Frames recorded as they came are sent again only when they are
//   measurements (14, 15, 33).
// - Records are due at their time stamps, counted from the first one; records
//   that share a second are spread over it. A clock set back counts as no gap.
// - Time runs only while the board measures: the feed pauses in idle mode.
// - A log with a bad record plays every record before it.

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace zarn {
class LogReader;
}

namespace zarn::sim {

class ReplayFeed {
public:
    // False (error set) when the log cannot be read or its header is unreadable;
    // a bad record only sets warning().
    bool load(const std::vector<uint8_t>& bytes, std::string& error);
    bool loadFile(const std::string& path, std::string& error);

    // Appends the next frame due by `playTime` (seconds of replay) for a board in
    // `mode` measuring `band`; its type, or -1 when nothing is due.
    int nextFrame(double playTime, uint8_t mode, uint8_t band, std::vector<uint8_t>& out);

    size_t records() const { return steps_.size(); }
    size_t recordsSent() const { return next_; }
    bool finished() const { return next_ == steps_.size() && pending_.empty(); }
    double duration() const { return steps_.empty() ? 0 : steps_.back().due; }
    const std::string& warning() const { return warning_; }

private:
    bool load(LogReader& reader, std::string& error);
    struct Step {
        double due;
        uint8_t type;
        std::vector<uint8_t> payload;
    };
    void expand(const Step& step, uint8_t mode, uint8_t band);
    void queue(uint8_t type, std::vector<uint8_t> payload) { pending_.emplace_back(type, std::move(payload)); }

    std::vector<Step> steps_;
    size_t next_ = 0;
    std::deque<std::pair<uint8_t, std::vector<uint8_t>>> pending_;
    std::string warning_;
};

}  // namespace zarn::sim
