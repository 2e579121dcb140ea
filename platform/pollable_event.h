#pragma once
// PollableEvent: a manual-reset event that a thread can wait for together with a
// descriptor (a serial port), so that it sleeps until either has something for it.
//
//  - set():   signalled until reset(); a waiter, present or future, is released.
//  - reset(): unsignalled. Call it from the one thread that waits.
//  - wait(ms, fd): until the event is signalled, `fd` (-1: none) is readable or hung up,
//    or ms milliseconds have passed (Event::kInfinite: for ever). An event already set
//    returns at once. Event when signalled, else Descriptor when fd is ready, else TimedOut.
// Without an eventfd (the process is out of descriptors) waits last at most 10 ms, so a
// set() is still seen soon.

#include <atomic>
#include <cstdint>

namespace zarn {

class PollableEvent {
public:
    enum class Woken { Event, Descriptor, TimedOut };

    PollableEvent();
    ~PollableEvent();
    PollableEvent(const PollableEvent&) = delete;
    PollableEvent& operator=(const PollableEvent&) = delete;

    void set();
    void reset();
    bool isSet() const { return signalled_.load(); }
    Woken wait(uint32_t milliseconds, int fd = -1);

private:
    int eventFd_ = -1;
    std::atomic<bool> signalled_{false};
};

}  // namespace zarn
