#include "screens/screen_test_support.h"

#include "platform/ui/window_system.h"

namespace zarn::testing {

IMPLEMENT_DYNCREATE(HostFrame, CFrameWnd)

namespace {

class BlankDoc : public CDocument {
    DECLARE_DYNCREATE(BlankDoc)
};
IMPLEMENT_DYNCREATE(BlankDoc, CDocument)

constexpr int kClientTop = 26;

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

COLORREF ScreenHarness::pixel(int x, int y) const { return pixelToRgb(backend.framebuffer().at(x, y + kClientTop)); }

Surface ScreenHarness::client() const {
    Surface s(240, 268);
    for (int y = 0; y < 268; ++y)
        for (int x = 0; x < 240; ++x) s.at(x, y) = backend.framebuffer().at(x, y + kClientTop);
    return s;
}

void ScreenHarness::tap(int x, int y) {
    backend.tap(x, y + kClientTop);
    backend.runUntilIdle();
}

}  // namespace zarn::testing
