#include "platform/ui/file_dialog.h"

#include <algorithm>
#include <cctype>

#include "platform/ui/window_dc.h"

namespace zarn {

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool glob(const char* p, const char* s) {
    if (*p == 0) return *s == 0;
    if (*p == '*') return glob(p + 1, s) || (*s && glob(p, s + 1));
    if (*s == 0) return false;
    return (*p == '?' || *p == *s) && glob(p + 1, s + 1);
}

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

std::string lastPart(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

bool CFileDialog::matches(const std::string& name, const std::string& patterns) {
    std::string n = lower(name);
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        std::string one = lower(trim(patterns.substr(start, end == std::string::npos ? std::string::npos : end - start)));
        // "*.*" also takes names without a point, as on the device.
        if (one == "*.*" || one == "*" || (!one.empty() && glob(one.c_str(), n.c_str()))) return true;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName, DWORD flags,
                         const char* filter, CWnd* parent)
    : CDialog(0, parent), open_(openFileDialog != FALSE), defaultExt_(defaultExt ? defaultExt : ""),
      proposed_(fileName ? fileName : ""), flags_(flags) {
    if (!defaultExt_.empty() && defaultExt_.front() == '.') defaultExt_.erase(0, 1);
    std::string f = filter ? filter : "";
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < f.size()) {
        size_t end = f.find('|', start);
        if (end == std::string::npos) end = f.size();
        parts.push_back(f.substr(start, end - start));
        start = end + 1;
    }
    for (size_t i = 0; i + 1 < parts.size(); i += 2)
        if (!parts[i].empty() || !parts[i + 1].empty()) filters_.emplace_back(parts[i], parts[i + 1]);
    if (filters_.empty()) filters_.emplace_back("All Files (*.*)", "*.*");
    setCaption(open_ ? "Open" : "Save As");
}

std::string CFileDialog::GetFileName() const { return lastPart(path_); }

std::string CFileDialog::GetFileExt() const {
    std::string name = GetFileName();
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? "" : name.substr(dot + 1);
}

bool CFileDialog::build() {
    if (!Create(nullptr, caption_.c_str(), 0, dialogRect(), nullptr, 0)) return false;
    addItem(ControlKind::Static, -1, "Name:", CRect(4, 6, 40, 22), 0);
    addItem(ControlKind::Edit, kNameId, proposed_, CRect(42, 4, 236, 24), CF_TABSTOP | CF_BORDER | CF_AUTOHSCROLL);
    addItem(ControlKind::Static, -1, "Type:", CRect(4, 31, 40, 47), 0);
    addItem(ControlKind::PushButton, kTypeId, filters_[0].first, CRect(42, 28, 236, 48), CF_TABSTOP);
    addItem(ControlKind::Static, kFolderId, "", CRect(4, 52, 236, 68), 0);
    auto& files = deviceFiles();
    const char* documents = "\\My Documents";
    bool haveDocuments = files.isFolder(documents) || files.createFolder(documents);
    openFolder(haveDocuments ? documents : "\\");
    return true;
}

int CFileDialog::visibleRows() const { return (WindowSystem::kClientBottom - WindowSystem::kClientTop - kListTop) / kRowHeight; }

void CFileDialog::openFolder(const std::string& folder) {
    folder_ = normalDevicePath(folder);
    std::vector<DeviceEntry> found;
    deviceFiles().list(folder_, found);
    std::vector<DeviceEntry> folders;
    std::vector<DeviceEntry> files;
    for (auto& e : found) {
        if (e.folder) {
            folders.push_back(e);
        } else if (matches(e.name, filters_[static_cast<size_t>(filterIndex_)].second)) {
            files.push_back(e);
        }
    }
    auto byName = [](const DeviceEntry& a, const DeviceEntry& b) { return lower(a.name) < lower(b.name); };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    entries_.clear();
    if (folder_ != "\\") entries_.push_back({"..", true});
    entries_.insert(entries_.end(), folders.begin(), folders.end());
    entries_.insert(entries_.end(), files.begin(), files.end());
    highlight_ = -1;
    scroll_ = 0;
    if (DialogItem* line = item(kFolderId)) line->SetWindowText(folder_);
    Invalidate(FALSE);
}

void CFileDialog::highlight(int index) {
    if (entries_.empty()) return;
    highlight_ = std::clamp(index, 0, static_cast<int>(entries_.size()) - 1);
    if (highlight_ < scroll_) scroll_ = highlight_;
    if (highlight_ >= scroll_ + visibleRows()) scroll_ = highlight_ - visibleRows() + 1;
    const DeviceEntry& e = entries_[static_cast<size_t>(highlight_)];
    if (DialogItem* name = item(kNameId)) {
        // A folder's name too: OK on it opens the folder.
        name->SetWindowText(e.name);
        setFocus(name, true);
    }
    Invalidate(FALSE);
}

std::string CFileDialog::resolve(const std::string& name) const {
    std::string path = (name.front() == '\\' || name.front() == '/') ? "\\" : folder_;
    std::string part;
    auto apply = [&](const std::string& p) {
        if (p.empty() || p == ".") return;
        path = p == ".." ? parentDevicePath(path) : joinDevicePath(path, p);
    };
    for (char c : name) {
        if (c == '\\' || c == '/') {
            apply(part);
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    apply(part);
    return normalDevicePath(path);
}

void CFileDialog::OnOK() {
    DialogItem* nameBox = item(kNameId);
    std::string name = trim(nameBox ? nameBox->GetWindowText() : "");
    if (name.empty()) return;
    auto& files = deviceFiles();
    std::string path = resolve(name);
    if (files.isFolder(path)) {
        openFolder(path);
        if (nameBox) {
            nameBox->SetWindowText(proposed_);
            setFocus(nameBox, true);
        }
        return;
    }
    if (!defaultExt_.empty() && lastPart(path).find('.') == std::string::npos) path += "." + defaultExt_;
    std::string parent = parentDevicePath(path);
    if ((flags_ & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)) && !files.isFolder(parent)) {
        AfxMessageBox("The folder " + parent + " does not exist.\nCheck the path and try again.");
        if (nameBox) setFocus(nameBox, true);
        return;
    }
    if ((flags_ & OFN_FILEMUSTEXIST) && !files.isFile(path)) {
        AfxMessageBox(lastPart(path) + "\nFile not found.\nCheck the file name and try again.");
        if (nameBox) setFocus(nameBox, true);
        return;
    }
    path_ = path;
    EndDialog(IDOK);
}

BOOL CFileDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == kTypeId) {
        filterIndex_ = (filterIndex_ + 1) % static_cast<int>(filters_.size());
        if (DialogItem* type = item(kTypeId)) type->SetWindowText(filters_[static_cast<size_t>(filterIndex_)].first);
        openFolder(folder_);
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CFileDialog::OnKeyDown(UINT key, UINT repeat, UINT flags) {
    if (key == VK_DOWN || key == VK_UP) {
        highlight(highlight_ < 0 ? 0 : highlight_ + (key == VK_DOWN ? 1 : -1));
        return;
    }
    CDialog::OnKeyDown(key, repeat, flags);
}

void CFileDialog::OnLButtonDown(UINT, CPoint point) {
    if (point.y < kListTop) return;
    int index = scroll_ + (point.y - kListTop) / kRowHeight;
    if (index < 0 || index >= static_cast<int>(entries_.size())) return;
    const DeviceEntry& e = entries_[static_cast<size_t>(index)];
    if (e.folder) {
        openFolder(resolve(e.name));
    } else {
        highlight(index);
    }
}

void CFileDialog::OnPaint() {
    WindowDC dc(this);
    CRect r;
    GetClientRect(&r);
    dc.FillSolidRect(r, RGB(255, 255, 255));
    dc.FillSolidRect(0, kListTop - 2, r.right, 1, RGB(0, 0, 0));
    dc.SetBkMode(TRANSPARENT);
    int rows = visibleRows();
    for (int row = 0; row < rows; ++row) {
        int index = scroll_ + row;
        if (index >= static_cast<int>(entries_.size())) break;
        const DeviceEntry& e = entries_[static_cast<size_t>(index)];
        CRect line(0, kListTop + row * kRowHeight, r.right, kListTop + (row + 1) * kRowHeight);
        bool lit = index == highlight_;
        if (lit) dc.FillSolidRect(line, RGB(0, 0, 128));
        dc.SetTextColor(lit ? RGB(255, 255, 255) : RGB(0, 0, 0));
        CRect text(line.left + 6, line.top, line.right - 4, line.bottom);
        dc.DrawText(e.folder ? "[" + e.name + "]" : e.name, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    }
}

}  // namespace zarn
