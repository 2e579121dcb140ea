#pragma once
// SimOutput: the frames queued for the line. A frame counts as sent once its last byte
// is written. Written bytes are dropped as the line takes them, so the queue holds only
// what is still to go however long the simulator runs.

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace zarn::sim {

class SimOutput {
public:
    // The frame appended to bytes() since the last call was of this type.
    void queued(int type) { ends_.emplace_back(bytes_.size(), type); }
    std::vector<uint8_t>& bytes() { return bytes_; }
    const uint8_t* unwritten() const { return bytes_.data() + written_; }
    size_t pending() const { return bytes_.size() - written_; }
    // The line took n more bytes: counts the frames now whole, drops what was written.
    void wrote(size_t n);

    uint64_t total() const { return total_; }
    const std::map<int, uint64_t>& sent() const { return sent_; }

private:
    std::vector<uint8_t> bytes_;
    size_t written_ = 0;
    std::vector<std::pair<size_t, int>> ends_;  // end offset in bytes_, type
    std::map<int, uint64_t> sent_;
    uint64_t total_ = 0;
};

}  // namespace zarn::sim
