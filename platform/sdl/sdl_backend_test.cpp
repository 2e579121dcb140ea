#include "platform/sdl/sdl_backend.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "platform/headless/headless_backend.h"
#include "platform/ui/dialog.h"
#include "platform/ui/window_dc.h"
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

// Squares that move on every tick, in three bands of the screen: what each
// frame changed reaches the window, and the window adds up to the last frame.
TEST(SdlBackend, FramesPresentedPieceByPieceAddUpToTheScreen) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("ZARN_SCALE", "2", 1);
    setenv("ZARN_MUTE", "1", 1);
    auto sdl = createSdlBackend();
    if (!sdl) GTEST_SKIP() << "SDL offscreen video is not available";
    WindowSystem::get().reset(sdl.get());
    class Mover : public CWnd {
    public:
        int step = 0;
        void OnTimer(UINT_PTR) override {
            if (++step == 15) PostQuitMessage(0);
            Invalidate(FALSE);
        }
        void OnPaint() override {
            WindowDC dc(this);
            dc.FillSolidRect(0, 0, 240, 268, RGB(255, 255, 255));
            for (int band = 0; band < 3; ++band)
                dc.FillSolidRect(step * 13 % 220, 10 + band * 90, 12 + band * 4, 9, RGB(200, 40 * band, 255 - step * 9));
        }
    } mover;
    mover.Create(nullptr, "", WS_VISIBLE, CRect(0, 26, 240, 294), nullptr, 0);
    mover.SetTimer(1, 7);
    WindowSystem::get().run();
    Surface shown;
    ASSERT_TRUE(readSdlWindow(sdl.get(), shown));
    const Surface screen = WindowSystem::get().screen();
    mover.DestroyWindow();
    ASSERT_EQ(shown.width, 480);
    for (int y = 26; y < 294; ++y)
        for (int x = 0; x < 240; ++x)
            for (int sub = 0; sub < 4; ++sub)
                ASSERT_EQ(shown.at(2 * x + sub % 2, 2 * y + sub / 2), screen.at(x, y)) << "first difference at " << x << "," << y;
    WindowSystem::get().reset(nullptr);
}

// Muted, no audio driver is even asked (a machine without sound stays
// quiet); a synchronous sound still takes its time either way.
TEST(SdlBackend, MutedOpensNoAudioYetASynchronousSoundStillLasts) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("ZARN_SCALE", "1", 1);
    const std::vector<uint8_t> tone(2205, 128);  // 100 ms at 22050 Hz
    for (bool muted : {true, false}) {
        setenv("ZARN_MUTE", muted ? "1" : "0", 1);
        auto sdl = createSdlBackend();
        if (!sdl) GTEST_SKIP() << "SDL offscreen video is not available";
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO) != 0, !muted) << (muted ? "muted" : "with sound");
        const uint64_t start = sdl->nowMs();
        sdl->playWave("tone", tone.data(), tone.size(), 22050, false);
        EXPECT_GE(sdl->nowMs() - start, 100u) << (muted ? "muted" : "with sound");
    }
}

}  // namespace
}  // namespace zarn
