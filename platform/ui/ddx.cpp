#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/ui/dialog.h"

namespace zarn {

namespace {

std::string trimmed(const std::string& s) {
    size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    size_t last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

template <typename T>
bool parseWhole(const std::string& text, T& out) {
    std::string t = trimmed(text);
    if (!t.empty() && t.front() == '+') t.erase(0, 1);
    if (t.empty()) return false;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
    return ec == std::errc() && end == t.data() + t.size();
}

}  // namespace

void CDataExchange::Fail(DialogItem* item, const std::string& message) {
    if (failed_) return;  // one message for one confirmation
    failed_ = true;
    AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
    if (item && m_pDlgWnd) m_pDlgWnd->setFocus(item, true);
}

void DDX_Radio(CDataExchange* dx, int firstId, int& value) {
    auto group = dx->m_pDlgWnd->radioGroup(firstId);
    if (group.empty()) return;
    if (dx->m_bSaveAndValidate) {
        value = -1;
        for (size_t i = 0; i < group.size(); ++i)
            if (group[i]->checked()) value = static_cast<int>(i);
        return;
    }
    for (size_t i = 0; i < group.size(); ++i) group[i]->setChecked(static_cast<int>(i) == value ? 1 : 0);
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
    DialogItem* item = dx->m_pDlgWnd->item(id);
    if (!item) return;
    if (dx->m_bSaveAndValidate) {
        value = item->checked();
    } else {
        item->setChecked(value ? 1 : 0);
    }
}

void DDX_Text(CDataExchange* dx, int id, double& value) {
    DialogItem* item = dx->m_pDlgWnd->item(id);
    if (!item) return;
    if (!dx->m_bSaveAndValidate) {
        char text[64];
        std::snprintf(text, sizeof text, "%.15g", value);
        item->SetWindowText(text);
        return;
    }
    double parsed = 0;
    std::string t = trimmed(item->GetWindowText());
    if (!t.empty() && t.front() == '+') t.erase(0, 1);
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), parsed);
    // from_chars also takes "nan" and "inf", which no option can hold.
    if (t.empty() || ec != std::errc() || end != t.data() + t.size() || !std::isfinite(parsed)) {
        dx->Fail(item, "Please enter a number.");
        return;
    }
    value = parsed;
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
    DialogItem* item = dx->m_pDlgWnd->item(id);
    if (!item) return;
    if (!dx->m_bSaveAndValidate) {
        item->SetWindowText(std::to_string(value));
        return;
    }
    int parsed = 0;
    if (!parseWhole(item->GetWindowText(), parsed)) {
        dx->Fail(item, "Please enter an integer.");
        return;
    }
    value = parsed;
}

void DDX_Text(CDataExchange* dx, int id, std::string& value) {
    DialogItem* item = dx->m_pDlgWnd->item(id);
    if (!item) return;
    if (dx->m_bSaveAndValidate) {
        value = item->GetWindowText();
    } else {
        item->SetWindowText(value);
    }
}

}  // namespace zarn
