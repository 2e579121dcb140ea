#include "platform/pollable_event.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <limits>

#include "platform/event.h"

namespace zarn {

namespace {
constexpr uint32_t kWaitWithoutEventFdMs = 10;
}  // namespace

PollableEvent::PollableEvent() : eventFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

PollableEvent::~PollableEvent() {
    if (eventFd_ >= 0) close(eventFd_);
}

void PollableEvent::set() {
    signalled_ = true;
    const uint64_t one = 1;
    if (eventFd_ >= 0) (void)!write(eventFd_, &one, sizeof one);
}

void PollableEvent::reset() {
    signalled_ = false;
    uint64_t count = 0;
    if (eventFd_ >= 0) (void)!read(eventFd_, &count, sizeof count);
}

PollableEvent::Woken PollableEvent::wait(uint32_t milliseconds, int fd) {
    if (isSet()) return Woken::Event;
    pollfd watched[2] = {{eventFd_, POLLIN, 0}, {fd, POLLIN, 0}};
    uint32_t most = milliseconds;
    if (eventFd_ < 0) most = std::min(most, kWaitWithoutEventFdMs);
    const int timeout = most == Event::kInfinite ? -1 : static_cast<int>(std::min<uint32_t>(most, std::numeric_limits<int>::max()));
    const int ready = poll(watched, 2, timeout);
    if (isSet()) return Woken::Event;
    return ready > 0 && watched[1].revents ? Woken::Descriptor : Woken::TimedOut;
}

}  // namespace zarn
