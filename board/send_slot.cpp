#include "board/send_slot.h"

#include <algorithm>
#include <cstring>

namespace zarn {

void SendSlot::storeLocked(const uint8_t* bytes, uint32_t length) {
    length_ = bytes ? std::min(length, kCapacity) : 0;
    if (length_) std::memcpy(buffer_, bytes, length_);
    waiting_ = true;
    event_.set();
}

void SendSlot::store(const uint8_t* bytes, uint32_t length) {
    std::lock_guard lock(mutex_);
    storeLocked(bytes, length);
}

bool SendSlot::storeIfEmpty(const uint8_t* bytes, uint32_t length) {
    std::lock_guard lock(mutex_);
    if (waiting_) return false;
    storeLocked(bytes, length);
    return true;
}

uint32_t SendSlot::take(uint8_t out[kCapacity]) {
    std::lock_guard lock(mutex_);
    const uint32_t length = waiting_ ? length_ : 0;
    if (length) std::memcpy(out, buffer_, length);
    waiting_ = false;
    length_ = 0;
    event_.reset();
    return length;
}

void SendSlot::wake() {
    std::lock_guard lock(mutex_);
    event_.set();
}

bool SendSlot::pending() const {
    std::lock_guard lock(mutex_);
    return waiting_;
}

}  // namespace zarn
