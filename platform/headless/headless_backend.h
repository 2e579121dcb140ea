#pragma once
// HeadlessBackend: the window system in-process, for tests. Nothing is shown;
// time stands still until the test moves it.
//
//  - install() makes it the backend of a fresh window system, and the
//    observer of the modals that open there (modals()).
//  - tap/penDown/penUp/penMove/key/type queue input in screen pixels; it is
//    delivered when the loop runs (runUntilIdle, runFor, or a modal loop).
//  - whenIdle(step) queues a step of a script; steps run one at a time, each
//    when the loop has nothing else to do, also inside modal loops. A modal
//    loop that has no step left to run is cancelled (IDCANCEL), so a test
//    never hangs; unansweredModals() counts them.
//  - runUntilIdle() works off everything due now, running queued steps, and
//    does not move the clock. runFor(ms) also moves the clock, timer expiry by
//    timer expiry, up to now + ms.
//  - A synchronous sound moves the clock by its length.
//  - framebuffer() is the last presented screen. Paint rounds follow one
//    another at once unless setFrameInterval() gives them a display's pace.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/backend.h"
#include "platform/ui/window_system.h"

namespace zarn {

class HeadlessBackend : public UiBackend {
public:
    struct Sound {
        std::string name;
        bool async;
        uint64_t startMs;
        uint64_t durationMs;
    };
    using Modal = WindowSystem::ModalOpened;

    void install();
    // The screen while AfxMessageBox(text) is up, at 00:00, drawn by a headless
    // window system of its own (left with no backend), for comparisons.
    static Surface messageBoxScreen(const std::string& text);

    // Time.
    void advance(uint64_t ms) { now_ += ms; }
    void setLocalTime(int hours, int minutes) { hours_ = hours, minutes_ = minutes; }

    // Input.
    void tap(int x, int y);
    void penDown(int x, int y);
    void penUp(int x, int y);
    void penMove(int x, int y);
    void key(unsigned virtualKey, bool shift = false);
    void type(const std::string& text);
    void closeWindow();
    void minimiseWindow();

    // Running.
    void whenIdle(std::function<void()> step) { steps_.push_back(std::move(step)); }
    size_t pendingSteps() const { return steps_.size(); }
    void runUntilIdle();
    void runFor(uint64_t ms);

    // What happened.
    const Surface& framebuffer() const { return framebuffer_; }
    int presents() const { return presents_; }
    const std::string& title() const { return title_; }
    bool mapped() const { return mapped_; }
    bool waitCursorShown() const { return waitCursor_; }
    const std::vector<Sound>& sounds() const { return sounds_; }
    int beeps() const { return beeps_; }
    const std::vector<Modal>& modals() const { return modals_; }
    const BitmapResource* icon() const { return icon_; }
    int unansweredModals() const { return unanswered_; }

    // UiBackend.
    uint64_t nowMs() override { return now_; }
    void localTime(int& hours, int& minutes) override;
    uint32_t msToNextMinute() override { return static_cast<uint32_t>(60000 - now_ % 60000); }
    bool pollInput(InputEvent& event) override;
    bool waitInput(uint64_t deadlineMs) override;
    void wake() override {}
    void present(const Surface& screen, const std::vector<CRect>& changed) override;
    uint32_t frameIntervalMs() override { return frameInterval_; }
    void setFrameInterval(uint32_t ms) { frameInterval_ = ms; }
    void setTitle(const std::string& title) override { title_ = title; }
    void showMainWindow() override { mapped_ = true; }
    void setWaitCursor(bool on) override { waitCursor_ = on; }
    void playWave(const std::string& name, const uint8_t* samples, size_t count, int rate, bool async) override;
    void beep(unsigned type) override;
    void setIcon(const BitmapResource& icon) override { icon_ = &icon; }

private:
    bool runStep();
    void push(InputEvent::Kind kind, int x, int y, unsigned key = 0, bool shift = false);

    uint64_t now_ = 0;
    int hours_ = 12;
    int minutes_ = 0;
    std::optional<uint64_t> limit_;
    std::deque<InputEvent> input_;
    std::deque<std::function<void()>> steps_;
    Surface framebuffer_{240, 320};
    int presents_ = 0;
    uint32_t frameInterval_ = 0;
    std::string title_;
    bool mapped_ = false;
    bool waitCursor_ = false;
    std::vector<Sound> sounds_;
    int beeps_ = 0;
    std::vector<Modal> modals_;
    int unanswered_ = 0;
    const BitmapResource* icon_ = nullptr;
};

}  // namespace zarn
