#include "platform/headless/headless_backend.h"

#include <algorithm>

#include "platform/ui/dialog.h"


namespace zarn {

void HeadlessBackend::install() {
    auto& sys = WindowSystem::get();
    sys.reset(this);
    sys.observeModals([this](const Modal& modal) { modals_.push_back(modal); });
}

Surface HeadlessBackend::messageBoxScreen(const std::string& text) {
    HeadlessBackend headless;
    headless.install();
    headless.setLocalTime(0, 0);
    Surface screen;
    headless.whenIdle([&] {
        screen = headless.framebuffer();
        WindowSystem::get().activeModalInfo()->modalCaptionButton(IDOK);
    });
    AfxMessageBox(text.c_str());
    WindowSystem::get().reset(nullptr);
    return screen;
}

void HeadlessBackend::push(InputEvent::Kind kind, int x, int y, unsigned key, bool shift) {
    InputEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.key = key;
    e.shift = shift;
    input_.push_back(e);
}

void HeadlessBackend::tap(int x, int y) {
    penDown(x, y);
    penUp(x, y);
}
void HeadlessBackend::penDown(int x, int y) { push(InputEvent::Kind::PenDown, x, y); }
void HeadlessBackend::penUp(int x, int y) { push(InputEvent::Kind::PenUp, x, y); }
void HeadlessBackend::penMove(int x, int y) { push(InputEvent::Kind::PenMove, x, y); }
void HeadlessBackend::key(unsigned virtualKey, bool shift) { push(InputEvent::Kind::Key, 0, 0, virtualKey, shift); }
void HeadlessBackend::type(const std::string& text) {
    for (unsigned char c : text) push(InputEvent::Kind::Char, 0, 0, c);
}
void HeadlessBackend::closeWindow() { push(InputEvent::Kind::Close, 0, 0); }
void HeadlessBackend::minimiseWindow() { push(InputEvent::Kind::Minimise, 0, 0); }

void HeadlessBackend::localTime(int& hours, int& minutes) {
    int total = hours_ * 60 + minutes_ + static_cast<int>(now_ / 60000);
    hours = (total / 60) % 24;
    minutes = total % 60;
}

bool HeadlessBackend::pollInput(InputEvent& event) {
    if (input_.empty()) return false;
    event = input_.front();
    input_.pop_front();
    return true;
}

bool HeadlessBackend::runStep() {
    if (steps_.empty()) return false;
    auto step = std::move(steps_.front());
    steps_.pop_front();
    step();
    return true;
}

bool HeadlessBackend::waitInput(uint64_t deadlineMs) {
    if (runStep()) return true;
    if (limit_ && deadlineMs <= *limit_) {
        now_ = std::max(now_, deadlineMs);
        return true;
    }
    if (WindowSystem::get().modalDepth() > 0) ++unanswered_;
    return false;
}

void HeadlessBackend::runUntilIdle() {
    auto& sys = WindowSystem::get();
    while (!sys.quitting() && (sys.dispatchOne() || runStep())) {
    }
}

void HeadlessBackend::runFor(uint64_t ms) {
    auto& sys = WindowSystem::get();
    uint64_t limit = now_ + ms;
    auto outer = limit_;
    limit_ = limit;
    while (!sys.quitting()) {
        if (sys.dispatchOne() || runStep()) continue;
        uint64_t next = sys.nextDeadline();
        if (next > limit) break;
        now_ = std::max(now_, next);
    }
    now_ = std::max(now_, limit);
    limit_ = outer;
}

void HeadlessBackend::present(const Surface& screen, const std::vector<CRect>&) {
    framebuffer_ = screen;
    ++presents_;
}

void HeadlessBackend::playWave(const std::string& name, const uint8_t*, size_t count, int rate, bool async) {
    uint64_t duration = rate > 0 ? (static_cast<uint64_t>(count) * 1000 + static_cast<uint64_t>(rate) - 1) / static_cast<uint64_t>(rate) : 0;
    sounds_.push_back({name, async, now_, duration});
    if (!async) now_ += duration;
}

void HeadlessBackend::beep(unsigned) { ++beeps_; }

}  // namespace zarn
