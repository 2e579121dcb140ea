#include "tools/board_sim/sim_output.h"

namespace zarn::sim {

void SimOutput::wrote(size_t n) {
    written_ += n;
    size_t whole = 0;
    while (whole < ends_.size() && ends_[whole].first <= written_) {
        ++sent_[ends_[whole].second];
        ++total_;
        ++whole;
    }
    ends_.erase(ends_.begin(), ends_.begin() + static_cast<long>(whole));
    for (auto& end : ends_) end.first -= written_;
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<long>(written_));
    written_ = 0;
}

}  // namespace zarn::sim
