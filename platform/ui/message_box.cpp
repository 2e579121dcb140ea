#include <algorithm>

#include "platform/message_box.h"
#include "platform/ui/app.h"
#include "platform/ui/dialog.h"
#include "platform/ui/window_dc.h"

namespace zarn {

namespace {

constexpr int kWidth = 200;
constexpr int kPad = 8;
constexpr int kButtonWidth = 60;
constexpr int kButtonHeight = 20;

class MessageBoxDialog : public CDialog {
public:
    MessageBoxDialog(std::string text, std::string caption) : text_(std::move(text)) { setCaption(std::move(caption)); }

    bool modalHasCancelBox() const override { return false; }
    void OnCancel() override { EndDialog(IDOK); }  // Escape and Enter both press OK
    void OnOK() override { EndDialog(IDOK); }

protected:
    const char* modalKind() const override { return "messagebox"; }
    std::string modalText() const override { return text_; }

    bool build() override {
        CDC measure(WindowSystem::get().screen());
        CRect textRect(0, 0, kWidth - 2 * kPad, 0);
        measure.DrawText(text_, &textRect, DT_LEFT | DT_WORDBREAK | DT_CALCRECT);
        int textHeight = std::max(textRect.Height(), 12);
        int height = std::min(kPad + textHeight + kPad + kButtonHeight + kPad, WindowSystem::kClientBottom - WindowSystem::kClientTop);
        int left = (WindowSystem::kScreenWidth - kWidth) / 2;
        int top = WindowSystem::kClientTop + (WindowSystem::kClientBottom - WindowSystem::kClientTop - height) / 2;
        if (!Create(nullptr, caption_.c_str(), 0, CRect(left, top, left + kWidth, top + height), nullptr, 0)) return false;
        int buttonTop = height - kPad - kButtonHeight;
        addItem(ControlKind::Static, -1, text_, CRect(kPad, kPad, kWidth - kPad, buttonTop - kPad / 2), 0);
        int buttonLeft = (kWidth - kButtonWidth) / 2;
        addItem(ControlKind::PushButton, IDOK, "OK",
                CRect(buttonLeft, buttonTop, buttonLeft + kButtonWidth, buttonTop + kButtonHeight), CF_TABSTOP);
        return true;
    }

    void OnPaint() override {
        WindowDC dc(this);
        CRect r;
        GetClientRect(&r);
        dc.FillSolidRect(r, RGB(255, 255, 255));
        CBrush frame(RGB(0, 0, 0));
        dc.FrameRect(r, &frame);
        dc.FrameRect(CRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1), &frame);
    }

private:
    std::string text_;
};

std::string defaultCaption() {
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd && !app->m_pMainWnd->GetWindowText().empty()) return app->m_pMainWnd->GetWindowText();
    if (app && !app->m_pszAppName.empty()) return app->m_pszAppName;
    return "";
}

}  // namespace

int MessageBox(HWND, const std::string& text, const std::string& caption, UINT) {
    MessageBoxDialog box(text, caption);
    int result = box.DoModal();
    return result == IDCANCEL ? IDOK : result;  // a box that was never answered still reports its only button
}

int CWnd::MessageBox(const std::string& text, const std::string& caption, UINT type) {
    return zarn::MessageBox(this, text, caption.empty() ? defaultCaption() : caption, type);
}

namespace {
// AfxMessageBox reaches these boxes in every program that links the window system.
struct WindowMessageBoxes : MessageBoxSink {
    int showMessageBox(const char* text, uint32_t type) override {
        return MessageBox(nullptr, text, defaultCaption(), type);
    }
};
}  // namespace

void installWindowMessageBoxes() {
    static WindowMessageBoxes windowBoxes;
    setPlatformMessageBoxes(&windowBoxes);
}

}  // namespace zarn
