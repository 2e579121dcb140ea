#pragma once
// Event: a manual-reset event, the stand-in for the device's event objects.
//
//  - set():    the event becomes signalled and stays so until reset(); every
//              waiter, present or future, is released.
//  - reset():  the event becomes unsignalled.
//  - pulse():  releases every thread waiting at this moment and leaves the
//              event unsignalled. A pulse with no waiter is lost.
//  - wait(ms): returns WaitResult::Signalled as soon as the event is set or
//              pulsed, WaitResult::TimedOut after ms milliseconds. A wait on an
//              event that is already set returns at once. ms = kInfinite waits
//              for ever.
//  - waitUnless(ms, abandon, pollMs): the same, but gives up (TimedOut) once
//              abandon() says true, asking it every pollMs; no pulse is missed
//              between two asks.
// All calls are safe from any thread.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace zarn {

enum class WaitResult { Signalled, TimedOut };

class Event {
public:
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

    explicit Event(bool initiallySignalled = false) : signalled_(initiallySignalled) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    void pulse();
    WaitResult wait(uint32_t milliseconds);
    WaitResult waitUnless(uint32_t milliseconds, const std::function<bool()>& abandon, uint32_t pollMs);
    bool isSet() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_;
    uint64_t pulses_ = 0;  // counts pulses, so a waiter can tell it was pulsed
};

}  // namespace zarn
