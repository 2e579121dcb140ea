#include "board/test_support.h"

#include "board/request_frame.h"

namespace zarn::testing {

void WiredBoard::feedFrame(uint8_t type, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> bytes;
    appendFrame(bytes, type, payload.data(), payload.size());
    feed(bytes);
}

}  // namespace zarn::testing
