#pragma once
// SendSlot: the one request waiting for the link thread to write it.
// Buffer, length and the send event change together under one guard, so a request
// stored while the link thread writes the previous one is never lost unsignalled, and the
// keep-alive never replaces a waiting request. The event is one the link thread can sleep
// on beside its port; wake() sets it without a request, to have the link look round.

#include <cstdint>
#include <mutex>

#include "platform/pollable_event.h"

namespace zarn {

class SendSlot {
public:
    static constexpr uint32_t kCapacity = 128;

    // Stores the first min(length, 128) bytes (replacing a waiting request) and signals.
    void store(const uint8_t* bytes, uint32_t length);
    // Stores only when nothing is waiting; false when a request was waiting.
    bool storeIfEmpty(const uint8_t* bytes, uint32_t length);
    // Copies the waiting bytes into out and clears the slot and its event; 0 when empty.
    uint32_t take(uint8_t out[kCapacity]);
    bool pending() const;
    void wake();
    PollableEvent& event() { return event_; }

private:
    void storeLocked(const uint8_t* bytes, uint32_t length);

    mutable std::mutex mutex_;
    uint8_t buffer_[kCapacity] = {};
    uint32_t length_ = 0;
    bool waiting_ = false;
    PollableEvent event_;
};

}  // namespace zarn
