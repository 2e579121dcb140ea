#pragma once
// A headless window system with one frame showing one screen, for screen
// tests: paint it, tap it, read its pixels in client coordinates.

#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless_backend.h"
#include "platform/ui/app.h"
#include "screens/screen_host.h"

namespace zarn::testing {

constexpr int kClientTop = 26;  // screen row of a screen's client row 0
// The screen's client area (240 x 268) out of the whole framebuffer.
Surface clientArea(const Surface& screen);
COLORREF clientPixel(const Surface& screen, int x, int y);
// The text as DrawText puts it in the System face of that size, alone on a
// 240 x 320 surface of the paper colour.
Surface drawnText(const std::string& text, const CRect& rect, COLORREF ink, COLORREF paper, unsigned format,
                  int pointTenths = 80);
// The first pixel inside rect where a and b differ, as "(x,y)"; "" when they agree.
std::string firstDifference(const Surface& a, const Surface& b, const CRect& rect);

// A frame that records the screen switches asked of it instead of making them.
class HostFrame : public CFrameWnd, public ScreenHost {
    DECLARE_DYNCREATE(HostFrame)
public:
    void SwitchView(const CRuntimeClass* screenClass, UINT newId) override;
    void switchToMainMenu() override { ++mainMenuSwitches; }
    std::vector<const CRuntimeClass*> switches;
    int mainMenuSwitches = 0;
};

class ScreenHarness {
public:
    // Shows a screen of that class as the frame's first view.
    explicit ScreenHarness(const CRuntimeClass* screenClass);
    ~ScreenHarness();

    HeadlessBackend backend;
    HostFrame* frame() const;
    CView* view() const;

    // Repaints the screen now and returns the screen's pixel at client (x, y) as COLORREF.
    void paint();
    COLORREF pixel(int x, int y) const;
    // The client area (240 x 268) as it was last presented.
    Surface client() const;
    void tap(int x, int y);  // client coordinates

private:
    class App;
    std::unique_ptr<App> app_;
};

}  // namespace zarn::testing
