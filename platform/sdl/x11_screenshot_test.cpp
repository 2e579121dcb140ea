// The SDL window on a real X server: a private Xvfb is started, a message box
// is shown through SDL's x11 driver at scale 1, and the window's pixels are
// read back from the server and compared with the headless framebuffer.
// Skipped only when Xvfb itself cannot start.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/headless/headless_backend.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/sdl/x11_grab.h"
#include "platform/sdl/xvfb_server.h"
#include "platform/ui/dialog.h"
#include "platform/ui/window_system.h"

extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace zarn {
namespace {

TEST(SdlX11, ScreenshotOfTheRealWindowMatchesTheHeadlessFramebuffer) {
    XvfbServer server;
    if (server.display().empty()) GTEST_SKIP() << "Xvfb cannot start here";
    const std::string& display = server.display();
    setenv("DISPLAY", display.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("ZARN_SCALE", "1", 1);
    setenv("ZARN_MUTE", "1", 1);
    const char* text = "Same pixels on the X server";
    Surface expected = HeadlessBackend::messageBoxScreen(text);
    ASSERT_EQ(expected.width, 240);

    auto sdl = createSdlBackend();
    ASSERT_TRUE(sdl) << "SDL's x11 driver did not start on " << display;
    WindowSystem::get().reset(sdl.get());

    class Poller : public CWnd {
    public:
        std::function<void()> tick;
        void OnTimer(UINT_PTR) override { tick(); }
    } poller;
    Surface shown;
    bool grabbed = false;
    int polls = 0, sinceMapped = 0;
    poller.Create(nullptr, "", 0, CRect(0, 0, 1, 1), nullptr, 0);
    // Wait (up to about 10 s) for the window to be mapped, then let a few
    // more paints reach the server before reading it.
    poller.tick = [&] {
        ++polls;
        Surface now;
        if (grabX11Window(display.c_str(), 240, 320, now) && ++sinceMapped >= 5) {
            shown = now;
            grabbed = true;
        }
        if (grabbed || polls > 500) WindowSystem::get().activeModalInfo()->modalCaptionButton(IDOK);
    };
    poller.SetTimer(1, 20);
    AfxMessageBox(text);
    poller.DestroyWindow();
    WindowSystem::get().reset(nullptr);
    sdl.reset();

    ASSERT_TRUE(grabbed) << "no mapped 240 x 320 window appeared on " << display;
    // The title-bar clock shows the host's time there, so start below it.
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 26; y < 320; ++y)
        for (int px = 0; px < 240; ++px)
            if (shown.at(px, y) != expected.at(px, y) && differing++ == 0) firstX = px, firstY = y;
    EXPECT_EQ(differing, 0) << "first difference at " << firstX << "," << firstY;
}

// The icon resource reaches the window manager as _NET_WM_ICON, see-through
// where its mask says so.
TEST(SdlX11, TheWindowCarriesTheProgramIconWithItsMask) {
    XvfbServer server;
    if (server.display().empty()) GTEST_SKIP() << "Xvfb cannot start here";
    setenv("DISPLAY", server.display().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("ZARN_SCALE", "1", 1);
    setenv("ZARN_MUTE", "1", 1);
    static const uint32_t runs[] = {32 * 16, 0xC00000, 32 * 16, 0x0000C0};
    std::vector<uint8_t> mask(32 * 32);
    for (size_t i = 0; i < mask.size(); ++i) mask[i] = (i % 32 + i / 32) % 3 != 0;
    const BitmapResource icon{128, 32, 32, 24, runs, 2, mask.data()};

    auto sdl = createSdlBackend();
    ASSERT_TRUE(sdl) << "SDL's x11 driver did not start on " << server.display();
    sdl->setIcon(icon);
    sdl->showMainWindow();
    sdl->present(Surface(240, 320, 0x808080), {CRect(0, 0, 240, 320)});
    Surface shown;
    InputEvent ignored;
    for (int i = 0; i < 200 && !readX11WindowIcon(server.display().c_str(), 240, 320, shown); ++i) {
        while (sdl->pollInput(ignored)) {
        }
        sdl->waitInput(sdl->nowMs() + 25);
    }
    sdl.reset();
    ASSERT_EQ(shown.width, 32);
    ASSERT_EQ(shown.height, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const uint32_t alpha = mask[static_cast<size_t>(y) * 32 + x] ? 0xFF000000u : 0u;
            ASSERT_EQ(shown.at(x, y), alpha | (y < 16 ? 0xC00000u : 0x0000C0u)) << x << "," << y;
        }
}

}  // namespace
}  // namespace zarn
