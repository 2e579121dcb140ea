#include "platform/ui/dialog.h"

#include <algorithm>

#include "platform/ui/app.h"
#include "platform/ui/window_dc.h"

namespace zarn {

IMPLEMENT_DYNAMIC(CDialog, CWnd)

CDialog::CDialog(UINT templateId, CWnd*) : templateId_(templateId) {}

CDialog::~CDialog() {
    if (isCreated()) DestroyWindow();
}

CRect CDialog::dialogRect() const {
    return CRect(0, WindowSystem::kClientTop, WindowSystem::kScreenWidth, WindowSystem::kClientBottom);
}

DialogItem* CDialog::addItem(ControlKind kind, int id, const std::string& text, const CRect& pixels, unsigned flags) {
    auto item = std::make_unique<DialogItem>(kind, flags);
    item->setOwner(this);
    DWORD style = WS_CHILD | ((flags & CF_HIDDEN) ? 0 : WS_VISIBLE);
    item->Create(nullptr, text.c_str(), style, pixels, this, static_cast<UINT>(id));
    items_.push_back(std::move(item));
    return items_.back().get();
}

bool CDialog::build() {
    const DialogTemplate* tpl = findDialog(static_cast<int>(templateId_));
    if (!tpl) return false;
    if (caption_.empty() && tpl->caption) caption_ = tpl->caption;
    if (!Create(nullptr, caption_.c_str(), 0, dialogRect(), nullptr, templateId_)) return false;
    for (size_t i = 0; i < tpl->controlCount; ++i) {
        const DialogControl& c = tpl->controls[i];
        int x = unitsToPixelsX(c.x);
        int y = unitsToPixelsY(c.y);
        addItem(c.kind, c.id, c.text ? c.text : "", CRect(x, y, x + unitsToPixelsX(c.w), y + unitsToPixelsY(c.h)), c.style);
    }
    return true;
}

int CDialog::DoModal() {
    auto& sys = WindowSystem::get();
    if (!build()) return -1;
    panel_ = std::make_unique<NumericPanel>();
    panel_->createIn(this, [this](char ch) { panelKey(ch); });
    OnInitDialog();
    ShowWindow(SW_SHOW);
    sys.modalOpened({modalKind(), caption_, modalText()});
    int result = sys.runModal(this, this);
    DestroyWindow();
    panel_.reset();
    items_.clear();
    return result;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    auto stops = tabStops();
    if (!stops.empty()) setFocus(stops.front(), true);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int result) { WindowSystem::get().endModal(this, result); }

BOOL CDialog::UpdateData(BOOL save) {
    CDataExchange dx(this, save);
    DoDataExchange(&dx);
    return dx.failed() ? FALSE : TRUE;
}

HICON CDialog::SetIcon(HICON icon, BOOL big) {
    HICON old = icon_;
    icon_ = icon;
    const CWinApp* app = AfxGetApp();
    if (big && app && app->m_pMainWnd == this) WindowSystem::get().setProgramIcon(icon);
    return old;
}

DialogItem* CDialog::item(int id) const {
    for (const auto& i : items_)
        if (i->GetDlgCtrlID() == id) return i.get();
    return nullptr;
}

DialogItem* CDialog::focusedItem() const {
    for (const auto& i : items_)
        if (i->focused()) return i.get();
    return nullptr;
}

bool CDialog::panelShown() const { return panel_ && panel_->isShown(); }

std::vector<DialogItem*> CDialog::radioGroup(int id) const {
    std::vector<DialogItem*> group;
    bool found = false;
    for (const auto& i : items_) {
        bool radio = i->kind() == ControlKind::RadioButton;
        if (!radio || i->startsGroup()) {
            if (found) break;
            group.clear();
        }
        if (radio) group.push_back(i.get());
        if (radio && i->GetDlgCtrlID() == id) found = true;
    }
    if (!found) group.clear();
    return group;
}

std::vector<DialogItem*> CDialog::tabStops() const {
    std::vector<DialogItem*> stops;
    for (size_t n = 0; n < items_.size(); ++n) {
        DialogItem* i = items_[n].get();
        if (!i->takesFocus() || !i->isShown()) continue;
        if (i->kind() != ControlKind::RadioButton) {
            stops.push_back(i);
            continue;
        }
        auto group = radioGroup(i->GetDlgCtrlID());
        std::erase_if(group, [](DialogItem* r) { return !r->isShown(); });
        if (group.empty()) continue;
        auto chosen = std::find_if(group.begin(), group.end(), [](DialogItem* r) { return r->checked(); });
        DialogItem* stop = chosen != group.end() ? *chosen : group.front();
        if (stop == i) stops.push_back(i);
    }
    return stops;
}

void CDialog::setFocus(DialogItem* target, bool selectText) {
    for (const auto& i : items_)
        if (i.get() != target) i->setFocused(false);
    if (!target) return;
    target->setFocused(true);
    if (target->kind() == ControlKind::Edit) {
        target->setSelected(selectText);
    } else if (panel_ && panel_->isShown()) {
        panel_->ShowWindow(SW_HIDE);
    }
}

void CDialog::moveFocus(int step) {
    auto stops = tabStops();
    if (stops.empty()) return;
    auto at = std::find(stops.begin(), stops.end(), focusedItem());
    long n = static_cast<long>(stops.size());
    long index = at == stops.end() ? (step > 0 ? -1 : 0) : at - stops.begin();
    index = ((index + step) % n + n) % n;
    setFocus(stops[static_cast<size_t>(index)], true);
}

void CDialog::choose(DialogItem* radio) {
    for (DialogItem* r : radioGroup(radio->GetDlgCtrlID())) r->setChecked(r == radio ? 1 : 0);
}

void CDialog::act(DialogItem* target) {
    switch (target->kind()) {
    case ControlKind::CheckBox:
        target->setChecked(target->checked() ? 0 : 1);
        break;
    case ControlKind::RadioButton:
        choose(target);
        break;
    case ControlKind::PushButton:
        SendMessage(WM_COMMAND, static_cast<WPARAM>(target->GetDlgCtrlID()), 0);
        break;
    default:
        break;
    }
}

void CDialog::itemPen(DialogItem* target, bool down, CPoint point) {
    if (down) {
        if (!target->takesFocus()) return;
        // A tap that brings the focus to an edit box selects its text, so the
        // panel's keys replace it; a tap on the focused box keeps the caret.
        setFocus(target, target->kind() == ControlKind::Edit && !target->focused());
        if (target->kind() == ControlKind::Edit && panel_) {
            WindowSystem::get().raise(this);
            panel_->ShowWindow(SW_SHOW);
        } else if (target->kind() == ControlKind::PushButton) {
            target->setPressed(true);
        } else {
            act(target);
        }
        return;
    }
    if (target->kind() == ControlKind::PushButton && target->pressed()) {
        target->setPressed(false);
        CRect r;
        target->GetClientRect(&r);
        if (r.PtInRect(point)) act(target);
    }
}

void CDialog::panelKey(char ch) {
    if (ch == 0) {
        panel_->ShowWindow(SW_HIDE);
        return;
    }
    DialogItem* edit = focusedItem();
    if (!edit || edit->kind() != ControlKind::Edit) return;
    if (ch == '\b') {
        edit->backspace();
    } else {
        edit->typeChar(ch);
    }
}

void CDialog::modalCaptionButton(int command) {
    if (command == IDOK) OnOK();
    if (command == IDCANCEL) OnCancel();
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM) {
    int id = LOWORD(wParam);
    if (id == IDOK) {
        OnOK();
        return TRUE;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

void CDialog::OnKeyDown(UINT key, UINT, UINT flags) {
    DialogItem* focus = focusedItem();
    switch (key) {
    case VK_TAB:
        moveFocus((flags & KF_SHIFTHELD) ? -1 : 1);
        break;
    case VK_RETURN:
        OnOK();
        break;
    case VK_ESCAPE:
        OnCancel();
        break;
    case VK_BACK:
        if (focus && focus->kind() == ControlKind::Edit) focus->backspace();
        break;
    case VK_SPACE:
        if (focus && focus->kind() != ControlKind::Edit) act(focus);
        break;
    case VK_UP:
    case VK_LEFT:
    case VK_DOWN:
    case VK_RIGHT: {
        if (!focus || focus->kind() != ControlKind::RadioButton) break;
        auto group = radioGroup(focus->GetDlgCtrlID());
        std::erase_if(group, [](DialogItem* r) { return !r->isShown(); });
        auto at = std::find(group.begin(), group.end(), focus);
        if (at == group.end()) break;
        long n = static_cast<long>(group.size());
        long step = (key == VK_UP || key == VK_LEFT) ? -1 : 1;
        long index = (((at - group.begin()) + step) % n + n) % n;
        DialogItem* next = group[static_cast<size_t>(index)];
        choose(next);
        setFocus(next, false);
        break;
    }
    default:
        break;
    }
}

void CDialog::OnChar(UINT ch, UINT, UINT) {
    DialogItem* focus = focusedItem();
    if (!focus || ch < 0x20 || ch == 0x7F || ch > 0xFF) return;
    if (focus->kind() == ControlKind::Edit) {
        focus->typeChar(static_cast<char>(ch));
    } else if (ch == ' ') {
        act(focus);
    }
}

void CDialog::OnPaint() {
    WindowDC dc(this);
    CRect r;
    GetClientRect(&r);
    dc.FillSolidRect(r, RGB(255, 255, 255));
}

}  // namespace zarn
