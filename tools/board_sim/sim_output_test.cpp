#include "tools/board_sim/sim_output.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zarn::sim {
namespace {

// The paced loop: the queue is topped up whenever less than 64 bytes wait and the line
// takes a few bytes at a time, so the queue is never empty when it is settled.
TEST(SimOutput, ALongPacedRunKeepsOnlyWhatIsStillToGoAndCountsEveryWholeFrame) {
    SimOutput out;
    std::vector<uint8_t> queuedBytes, line;
    std::vector<size_t> frameEnds;
    std::map<int, uint64_t> expectedSent;
    size_t largest = 0;
    for (int step = 0; step < 100000; ++step) {
        while (out.pending() < 64) {
            const int type = frameEnds.size() % 3 == 0 ? 33 : 14;
            for (int i = 0; i < (type == 33 ? 11 : 8); ++i)
                out.bytes().push_back(static_cast<uint8_t>(queuedBytes.size() + i));
            queuedBytes.insert(queuedBytes.end(), out.bytes().end() - (type == 33 ? 11 : 8), out.bytes().end());
            out.queued(type);
            frameEnds.push_back(queuedBytes.size());
        }
        const size_t n = std::min<size_t>(1 + step % 7, out.pending());
        line.insert(line.end(), out.unwritten(), out.unwritten() + n);
        out.wrote(n);
        largest = std::max(largest, out.bytes().size());
    }
    EXPECT_LE(largest, 64u + 11u);
    ASSERT_TRUE(std::equal(line.begin(), line.end(), queuedBytes.begin()));
    const auto whole = static_cast<uint64_t>(std::upper_bound(frameEnds.begin(), frameEnds.end(), line.size()) -
                                             frameEnds.begin());
    EXPECT_EQ(out.total(), whole);
    EXPECT_EQ(out.sent().at(33), (whole + 2) / 3);
    EXPECT_EQ(out.sent().at(14), whole - (whole + 2) / 3);
}

}  // namespace
}  // namespace zarn::sim
