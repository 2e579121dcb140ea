// zarn as a person runs it on a panel: the real program against zarn-board-sim
// on a private Xvfb, read back from the X server and clicked through XTEST.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "platform/gdi/golden.h"
#include "platform/sdl/x11_grab.h"
#include "platform/sdl/xvfb_server.h"
#include "screens/screen_test_support.h"
#include "testing/child_program.h"
#include "testing/sim_device.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;

class WindowE2e : public ::testing::Test {
protected:
    // zarn with extra environment (and arguments) on an Xvfb screen of that size.
    void start(const std::string& screen, std::map<std::string, std::string> env, std::vector<std::string> args = {}) {
        server = std::make_unique<XvfbServer>(screen);
        if (server->display().empty()) GTEST_SKIP() << "Xvfb cannot start here";
        std::string error;
        ASSERT_TRUE(device.start(ZARN_BOARD_SIM_PATH, {}, error)) << error;
        env.insert({{"DISPLAY", server->display()}, {"SDL_VIDEODRIVER", "x11"}, {"ZARN_MUTE", "1"}});
        zarn = std::make_unique<ChildProgram>(ZARN_PROGRAM_PATH, args, env, device.root + "/zarn.log");
    }
    void TearDown() override {
        zarn.reset();
        server.reset();
    }
    // Polls the w x h window until done(shot) holds; false after 20 s.
    bool waitFor(int w, int h, const std::function<bool(const Surface&)>& done) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline && zarn->running()) {
            if (grabX11Window(server->display().c_str(), w, h, shot) && done(shot)) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    SimDevice device;
    std::unique_ptr<XvfbServer> server;
    std::unique_ptr<ChildProgram> zarn;
    Surface shot;
};

// The band-raster screen's client area, as its golden image has it.
Surface bandRasterClient() {
    Surface golden;
    EXPECT_TRUE(readPng(goldenDirectory() + "/band_raster_screen.png", golden));
    return golden;
}

TEST_F(WindowE2e, FullScreenShowsThePictureAtTheLargestWholeScaleCentredOnBlack) {
    ASSERT_NO_FATAL_FAILURE(start("1024x768x24", {}, {"--fullscreen"}));
    const Surface client = bandRasterClient();
    ASSERT_EQ(client.width, 240);
    const CRect picture(272, 64, 272 + 480, 64 + 640);
    // Scale 2 at (272, 64): every device pixel of the client area a 2 x 2 block.
    const auto showsTheScreen = [&](const Surface& s) {
        for (int y = 0; y < client.height; ++y)
            for (int x = 0; x < client.width; ++x)
                for (int sub = 0; sub < 4; ++sub)
                    if (s.at(picture.left + 2 * x + sub % 2, picture.top + 2 * (26 + y) + sub / 2) != client.at(x, y))
                        return false;
        return true;
    };
    ASSERT_TRUE(waitFor(1024, 768, showsTheScreen)) << zarn->output();
    if (const char* keep = std::getenv("ZARN_KEEP_SHOT")) writePng(std::string(keep) + "/fullscreen-1024x768.png", shot);
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x)
            if (!picture.PtInRect({x, y})) {
                ASSERT_EQ(shot.at(x, y), 0u) << "not black at " << x << "," << y;
            }
}

// Turned by 90 degrees the window is 320 x 240; a click where the second
// raster button shows (device 120, 201: at 118, 120 of the turned window)
// chooses 50 kHz, and the main menu's band line says so.
TEST_F(WindowE2e, RotatedWindowTakesAClickWhereTheButtonIsDrawn) {
    ASSERT_NO_FATAL_FAILURE(start("640x480x24", {{"ZARN_ROTATE", "90"}, {"ZARN_SCALE", "1"}}));
    const Surface client = bandRasterClient();
    // Device pixel (x, y) shows at (319 - y, x) of the turned window.
    const auto clientOf = [](const Surface& s) {
        Surface out(240, 320);
        for (int y = 0; y < 268; ++y)
            for (int x = 0; x < 240; ++x) out.at(x, y) = s.at(319 - (26 + y), x);
        return out;
    };
    ASSERT_TRUE(waitFor(320, 240, [&](const Surface& s) {
        return testing::firstDifference(clientOf(s), client, CRect(0, 0, 240, 268)).empty();
    })) << zarn->output();
    ASSERT_TRUE(clickX11Window(server->display().c_str(), 320, 240, 118, 120));
    const CRect band{0, 239, 240, 254};
    const Surface fifty = testing::drawnText("(869.01-893.97MHz/30kHz) (1930.00-1990.00/50kHz)", band,
                                             RGB(255, 255, 255), RGB(0, 128, 0), DT_CENTER | DT_VCENTER);
    EXPECT_TRUE(waitFor(320, 240, [&](const Surface& s) {
        return testing::firstDifference(clientOf(s), fifty, band).empty();
    })) << "the main menu's band line does not show the 50 kHz raster\n" << zarn->output();
}

}  // namespace
}  // namespace zarn
