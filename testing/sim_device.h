#pragma once
// SimDevice: a throw-away device root with zarn-board-sim registered in it, for
// end-to-end tests. While it lives ZARN_ROOT names the root and the registry
// holds the simulator's terminal; it captures what the program sends in
// ROOT/capture.bin.

#include <string>
#include <vector>

#include "testing/sim_process.h"

namespace zarn {

class SimDevice {
public:
    SimDevice() = default;
    ~SimDevice();
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    // False with error when the root cannot be made or the simulator does not start.
    bool start(const std::string& simulator, std::vector<std::string> args, std::string& error);
    std::string capturePath() const { return root + "/capture.bin"; }

    std::string root;
    SimProcess sim;
};

}  // namespace zarn
