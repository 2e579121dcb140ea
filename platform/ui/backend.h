#pragma once
// UiBackend: what the window system needs of the machine under it. Two exist:
// the SDL window (platform/sdl) and the in-process headless screen used by the
// tests (platform/headless).
//
//  - nowMs():        the clock that timers, timeouts and synchronous sounds
//                    read; monotonic, milliseconds. Headless time only moves
//                    when the test moves it.
//  - localTime():    hours and minutes for the title bar's clock.
//  - msToNextMinute(): milliseconds until localTime's minute changes, so the
//                    clock need not look every second.
//  - pollInput():    the next pen or key event, false when none is waiting.
//  - waitInput(ms):  blocks until input arrives, wake() is called or the
//                    deadline (nowMs() value) passes; kNoDeadline waits for
//                    ever. Returns false when the backend has nothing more to
//                    give (headless: no scripted step left), which ends the
//                    loop that waits.
//  - wake():         safe from any thread; ends a waitInput early.
//  - present():      shows the 240 x 320 screen; it differs from the screen
//                    presented before only inside the changed rectangles.
//  - frameIntervalMs(): the least time between two paint rounds, one display
//                    refresh; 0 lets each follow at once.
//  - showMainWindow(): maps the host window on its first call.
//  - playWave():     plays 8-bit unsigned mono samples (copied) at the given
//                    rate; async = false returns when they have played. A new
//                    sound cuts off the one playing. name is for the record.
//  - beep():         the standard short beep, asynchronous.
//  - setIcon():      the program's icon (an icon resource with its mask), for
//                    the host window and the desktop's task list.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/geometry.h"
#include "platform/gdi/resource.h"
#include "platform/gdi/surface.h"

namespace zarn {

struct InputEvent {
    enum class Kind { PenDown, PenUp, PenMove, Key, Char, Close, Minimise };
    Kind kind = Kind::PenDown;
    int x = 0;  // screen pixels, for pen events
    int y = 0;
    unsigned key = 0;   // virtual key (Key) or character (Char)
    bool shift = false;
};

class UiBackend {
public:
    static constexpr uint64_t kNoDeadline = ~uint64_t{0};

    virtual ~UiBackend() = default;
    virtual uint64_t nowMs() = 0;
    virtual void localTime(int& hours, int& minutes) = 0;
    virtual uint32_t msToNextMinute() = 0;
    virtual bool pollInput(InputEvent& event) = 0;
    virtual bool waitInput(uint64_t deadlineMs) = 0;
    virtual void wake() = 0;
    virtual void present(const Surface& screen, const std::vector<CRect>& changed) = 0;
    virtual uint32_t frameIntervalMs() { return 0; }
    virtual void setTitle(const std::string& title) = 0;
    virtual void showMainWindow() = 0;
    virtual void setWaitCursor(bool on) = 0;
    virtual void playWave(const std::string& name, const uint8_t* samples, size_t count, int rate, bool async) = 0;
    virtual void beep(unsigned type) = 0;
    virtual void setIcon(const BitmapResource& icon) { (void)icon; }
};

}  // namespace zarn
