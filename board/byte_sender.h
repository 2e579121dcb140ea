#pragma once
// ByteSender: where framed requests and the keep-alive go (the serial link).

#include <cstdint>

namespace zarn {

struct ByteSender {
    virtual ~ByteSender() = default;
    virtual bool sendBytes(const uint8_t* bytes, uint32_t length) = 0;
};

// The process-wide sender of requests; null until the serial link exists, and
// a request made then is framed, not sent, and still waits for its answer.
void setRequestSender(ByteSender* sender);
ByteSender* requestSender();

}  // namespace zarn
