#include "platform/sdl/sdl_backend.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "platform/headless/headless_backend.h"
#include "platform/ui/dialog.h"
#include "platform/ui/window_system.h"

// SDL's video and audio drivers load system libraries that keep allocations
// for the life of the process; they are not this program's leaks.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace zarn {
namespace {

// The same message box drawn headless and in the SDL window (offscreen
// driver, scale 1) shows the same pixels.
TEST(SdlBackend, WindowShowsWhatTheHeadlessFramebufferHolds) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("ZARN_SCALE", "1", 1);
    setenv("ZARN_MUTE", "1", 1);
    HeadlessBackend headless;
    headless.install();
    headless.setLocalTime(0, 0);
    Surface expected;
    headless.whenIdle([&] {
        expected = headless.framebuffer();
        WindowSystem::get().activeModalInfo()->modalCaptionButton(IDOK);
    });
    AfxMessageBox("Same pixels in both");

    auto sdl = createSdlBackend();
    if (!sdl) GTEST_SKIP() << "SDL offscreen video is not available";
    WindowSystem::get().reset(sdl.get());
    Surface shown;
    bool read = false;
    // The clock differs, so compare below the title bar.
    int polls = 0;
    class Poller : public CWnd {
    public:
        std::function<void()> tick;
        void OnTimer(UINT_PTR) override { tick(); }
    } poller;
    poller.Create(nullptr, "", 0, CRect(0, 0, 1, 1), nullptr, 0);
    poller.tick = [&] {
        if (++polls < 3) return;
        read = readSdlWindow(sdl.get(), shown);
        WindowSystem::get().activeModalInfo()->modalCaptionButton(IDOK);
    };
    poller.SetTimer(1, 20);
    AfxMessageBox("Same pixels in both");
    poller.DestroyWindow();
    WindowSystem::get().reset(nullptr);
    ASSERT_TRUE(read);
    ASSERT_EQ(shown.width, expected.width);
    for (int y = 26; y < 320; ++y)
        for (int x = 0; x < 240; ++x)
            ASSERT_EQ(shown.at(x, y), expected.at(x, y)) << "first difference at " << x << "," << y;
}

}  // namespace
}  // namespace zarn
