#include "screens/screen_test_support.h"

#include "platform/ui/window_system.h"
#include "screens/offscreen_paint.h"

namespace zarn::testing {

IMPLEMENT_DYNCREATE(HostFrame, CFrameWnd)

namespace {

class BlankDoc : public CDocument {
    DECLARE_DYNCREATE(BlankDoc)
};
IMPLEMENT_DYNCREATE(BlankDoc, CDocument)

}  // namespace

void HostFrame::SwitchView(const CRuntimeClass* screenClass, UINT) { switches.push_back(screenClass); }

class ScreenHarness::App : public CWinApp {
public:
    explicit App(const CRuntimeClass* screen) : screen_(screen) {}
    BOOL InitInstance() override {
        AddDocTemplate(new CSingleDocTemplate(128, RUNTIME_CLASS(BlankDoc), RUNTIME_CLASS(HostFrame), screen_));
        CCommandLineInfo info;
        ParseCommandLine(info);
        if (!ProcessShellCommand(info)) return FALSE;
        m_pMainWnd->ShowWindow(SW_SHOW);
        m_pMainWnd->UpdateWindow();
        return TRUE;
    }

private:
    const CRuntimeClass* screen_;
};

ScreenHarness::ScreenHarness(const CRuntimeClass* screenClass) {
    backend.install();
    app_ = std::make_unique<App>(screenClass);
    app_->InitInstance();
    backend.runUntilIdle();
}

ScreenHarness::~ScreenHarness() {
    if (app_->m_pMainWnd && app_->m_pMainWnd->isCreated()) app_->m_pMainWnd->DestroyWindow();
    app_.reset();
    WindowSystem::get().reset(nullptr);
}

HostFrame* ScreenHarness::frame() const { return dynamic_cast<HostFrame*>(app_->m_pMainWnd); }

CView* ScreenHarness::view() const { return frame() ? frame()->GetActiveView() : nullptr; }

void ScreenHarness::paint() {
    view()->InvalidateRect(nullptr, FALSE);
    backend.runUntilIdle();
}

Surface clientArea(const Surface& screen) {
    Surface s(240, 268);
    for (int y = 0; y < 268; ++y)
        for (int x = 0; x < 240; ++x) s.at(x, y) = screen.at(x, y + kClientTop);
    return s;
}

COLORREF clientPixel(const Surface& screen, int x, int y) { return pixelToRgb(screen.at(x, y + kClientTop)); }

Surface drawnText(const std::string& text, const CRect& rect, COLORREF ink, COLORREF paper, unsigned format,
                  int pointTenths) {
    Surface s(240, 320, rgbToPixel(paper));
    CDC dc(s);
    SelectedFont font(&dc, pointTenths);
    dc.SetTextColor(ink);
    dc.SetBkColor(paper);
    dc.DrawText(text, rect, format);
    return s;
}

std::string firstDifference(const Surface& a, const Surface& b, const CRect& rect) {
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            if (a.at(x, y) != b.at(x, y)) return "(" + std::to_string(x) + "," + std::to_string(y) + ")";
    return "";
}

COLORREF ScreenHarness::pixel(int x, int y) const { return clientPixel(backend.framebuffer(), x, y); }

Surface ScreenHarness::client() const { return clientArea(backend.framebuffer()); }

void ScreenHarness::tap(int x, int y) {
    backend.tap(x, y + kClientTop);
    backend.runUntilIdle();
}

}  // namespace zarn::testing
