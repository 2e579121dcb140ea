#include "platform/sdl/sdl_backend.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/golden.h"
#include "platform/headless/headless_backend.h"
#include "platform/ui/dialog.h"
#include "platform/ui/window_dc.h"
#include "platform/ui/window_system.h"

// SDL's video and audio drivers load system libraries that keep allocations
// for the life of the process; they are not this program's leaks.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace zarn {
namespace {

// The SDL window on the offscreen driver, silent, at that scale and turn.
void offscreen(int scale, int rotation = 0) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("ZARN_SCALE", std::to_string(scale).c_str(), 1);
    setenv("ZARN_ROTATE", std::to_string(rotation).c_str(), 1);
    setenv("ZARN_MUTE", "1", 1);
}

// The same message box drawn headless and in the SDL window (offscreen
// driver, scale 1) shows the same pixels.
TEST(SdlBackend, WindowShowsWhatTheHeadlessFramebufferHolds) {
    offscreen(1);
    const Surface expected = HeadlessBackend::messageBoxScreen("Same pixels in both");
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
    offscreen(2);
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

// What the window system's pen reaches, and where.
class Target : public CWnd {
public:
    std::vector<CPoint> downs, ups;
    void OnLButtonDown(UINT, CPoint p) override { downs.push_back(p); }
    void OnLButtonUp(UINT, CPoint p) override { ups.push_back(p); }
};

void pushFinger(Uint32 type, SDL_FingerID finger, float x, float y) {
    SDL_Event e{};
    e.type = type;
    e.tfinger.touchId = 1;
    e.tfinger.fingerId = finger;
    e.tfinger.x = x;
    e.tfinger.y = y;
    SDL_PushEvent(&e);
}

// A finger on the glass presses what is drawn under it, however the panel is
// turned and at any scale. A second finger while the first is down, and the
// mouse events SDL makes from a touch, press nothing.
TEST(SdlBackend, AFingerPressesWhatIsDrawnUnderItAtEveryTurnAndScale) {
    // Where device pixel (60, 200) shows at scale 1, turned clockwise.
    const struct {
        int rotation;
        CPoint shownAt;
    } turns[] = {{0, {60, 200}}, {90, {119, 60}}, {180, {179, 119}}, {270, {200, 179}}};
    for (const auto& turn : turns) {
        for (int scale : {1, 3}) {
            const std::string at = "rotation " + std::to_string(turn.rotation) + " scale " + std::to_string(scale);
            offscreen(scale, turn.rotation);
            auto sdl = createSdlBackend();
            if (!sdl) GTEST_SKIP() << "SDL offscreen video is not available";
            auto& sys = WindowSystem::get();
            sys.reset(sdl.get());
            Target elsewhere, button;
            elsewhere.Create(nullptr, "", WS_VISIBLE, CRect(0, 26, 240, 294), nullptr, 0);
            button.Create(nullptr, "", WS_VISIBLE, CRect(50, 190, 70, 210), nullptr, 0);
            const bool sideways = turn.rotation % 180 != 0;
            const float w = static_cast<float>((sideways ? 320 : 240) * scale), h = static_cast<float>((sideways ? 240 : 320) * scale);
            const float x = (static_cast<float>(turn.shownAt.x * scale) + 0.5f) / w;
            const float y = (static_cast<float>(turn.shownAt.y * scale) + 0.5f) / h;
            pushFinger(SDL_FINGERDOWN, 7, x, y);
            pushFinger(SDL_FINGERDOWN, 8, 0.5f, 0.1f);  // a second finger, on `elsewhere`
            SDL_Event mouse{};
            mouse.type = SDL_MOUSEBUTTONDOWN;
            mouse.button.which = SDL_TOUCH_MOUSEID;
            mouse.button.button = SDL_BUTTON_LEFT;
            mouse.button.x = static_cast<int>(0.5f * w);
            mouse.button.y = static_cast<int>(0.1f * h);
            SDL_PushEvent(&mouse);
            pushFinger(SDL_FINGERUP, 8, 0.5f, 0.1f);
            pushFinger(SDL_FINGERUP, 7, x, y);
            while (sys.dispatchOne()) {
            }
            EXPECT_EQ(button.downs, std::vector<CPoint>{CPoint(10, 10)}) << at;
            EXPECT_EQ(button.ups, std::vector<CPoint>{CPoint(10, 10)}) << at;
            EXPECT_TRUE(elsewhere.downs.empty()) << at;
            button.DestroyWindow();
            elsewhere.DestroyWindow();
            sys.reset(nullptr);
        }
    }
}

// Turned for a panel mounted sideways, the window holds the upright picture
// turned, pixel for pixel, not drawn anew.
TEST(SdlBackend, ATurnedWindowShowsTheUprightPictureTurned) {
    offscreen(1, 90);
    const Surface upright = HeadlessBackend::messageBoxScreen("Turned, not redrawn");
    auto sdl = createSdlBackend();
    if (!sdl) GTEST_SKIP() << "SDL offscreen video is not available";
    sdl->present(upright, {CRect(0, 0, 240, 320)});
    Surface shown;
    ASSERT_TRUE(readSdlWindow(sdl.get(), shown));
    ASSERT_EQ(shown.width, 320);
    ASSERT_EQ(shown.height, 240);
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 240; ++x) ASSERT_EQ(shown.at(319 - y, x), upright.at(x, y)) << x << "," << y;
    const auto golden = compareWithGolden(shown, "ui_message_box_turned_90");
    EXPECT_TRUE(golden.ok) << golden.message;
}

// Muted, no audio driver is even asked (a machine without sound stays
// quiet); a synchronous sound still takes its time either way.
TEST(SdlBackend, MutedOpensNoAudioYetASynchronousSoundStillLasts) {
    offscreen(1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const std::vector<uint8_t> tone(2205, 128);  // 100 ms at 22050 Hz
    for (bool muted : {true, false}) {
        setenv("ZARN_MUTE", muted ? "1" : "0", 1);
        auto sdl = createSdlBackend();
        if (!sdl) GTEST_SKIP() << "SDL offscreen video is not available";
        const uint64_t start = sdl->nowMs();
        sdl->playWave("tone", tone.data(), tone.size(), 22050, false);
        EXPECT_GE(sdl->nowMs() - start, 100u) << (muted ? "muted" : "with sound");
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO) != 0, !muted) << (muted ? "muted" : "with sound");
    }
}

// Some sound device of this process is open and playing (SDL numbers them from 2).
bool soundDeviceOpen() {
    for (SDL_AudioDeviceID id = 2; id < 10; ++id)
        if (SDL_GetAudioDeviceStatus(id) != SDL_AUDIO_STOPPED) return true;
    return false;
}

// An open sound device has a thread of its own that wakes for every buffer it fills,
// silence too, and an audio driver may look for devices ten times a second: between
// sounds neither runs, so a program with nothing to do sleeps.
TEST(SdlBackend, TheSoundDeviceIsOpenOnlyWhileASoundPlays) {
    offscreen(1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("ZARN_MUTE", "0", 1);
    auto sdl = createSdlBackend();
    if (!sdl) GTEST_SKIP() << "SDL offscreen video is not available";
    EXPECT_FALSE(soundDeviceOpen()) << "before any sound";
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    const std::vector<uint8_t> tone(2205, 200);  // 100 ms at 22050 Hz
    const uint64_t start = sdl->nowMs();
    sdl->playWave("tone", tone.data(), tone.size(), 22050, true);
    EXPECT_TRUE(soundDeviceOpen()) << "while it plays";
    while (soundDeviceOpen() && sdl->nowMs() - start < 10000) sdl->waitInput(start + 10000);
    EXPECT_FALSE(soundDeviceOpen()) << "the idle loop's wait closed it";
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << "and the audio driver, whose threads wake too";
    EXPECT_GE(sdl->nowMs() - start, 100u) << "not before the sound had played";
}

}  // namespace
}  // namespace zarn
