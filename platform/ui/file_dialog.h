#pragma once
// CFileDialog: the open and save dialogs, over the client area.
//
//  - filter: pairs of "name|pattern|" ended by an extra "|", e.g.
//    "Zarn Log Files (*.zrn)|*.zrn|All Files (*.*)|*.*||"; a pattern may hold
//    several globs separated by ';'. The first pair is in force at the start;
//    the Type button steps through them.
//  - It opens in \My Documents (made when missing) with the focus in the name
//    box and the proposed name selected. The list shows the folder's parent
//    ("[..]"), its folders ("[name]") and the files the type matches.
//  - A tap on a folder opens it; a tap on a file puts its name in the name
//    box; Up/Down move through the list and put the entry's name there (OK on
//    a folder's name opens it). A name without a folder is taken in the current
//    folder; one that starts with "\" is a full device path; ".." climbs.
//  - OK (Enter, the "ok" box): a name that is a folder opens it; otherwise the
//    default extension is added to a name without one, OFN_PATHMUSTEXIST and
//    OFN_FILEMUSTEXIST refuse a missing folder or file with a message and keep
//    the dialog open, and GetPathName gives the chosen device path.

#include <string>
#include <utility>
#include <vector>

#include "platform/ui/device_files.h"
#include "platform/ui/dialog.h"

namespace zarn {

constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;

class CFileDialog : public CDialog {
public:
    static constexpr int kNameId = 1152;
    static constexpr int kTypeId = 1136;
    static constexpr int kFolderId = 1088;
    static constexpr int kListTop = 72;
    static constexpr int kRowHeight = 16;

    CFileDialog(BOOL openFileDialog, const char* defaultExt = nullptr, const char* fileName = nullptr,
                DWORD flags = 0, const char* filter = nullptr, CWnd* parent = nullptr);

    std::string GetPathName() const { return path_; }
    std::string GetFileName() const;
    std::string GetFileExt() const;

    const std::string& folder() const { return folder_; }
    const std::vector<DeviceEntry>& entries() const { return entries_; }
    int highlighted() const { return highlight_; }
    int filterIndex() const { return filterIndex_; }
    static bool matches(const std::string& name, const std::string& patterns);

    void OnOK() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnPaint() override;

protected:
    bool build() override;
    const char* modalKind() const override { return "filedialog"; }
    std::string modalText() const override { return folder_; }

private:
    void openFolder(const std::string& folder);
    void highlight(int index);
    std::string resolve(const std::string& name) const;
    int visibleRows() const;

    bool open_;
    std::string defaultExt_;
    std::string proposed_;
    DWORD flags_;
    std::vector<std::pair<std::string, std::string>> filters_;
    int filterIndex_ = 0;
    std::string folder_;
    std::vector<DeviceEntry> entries_;  // ".." first when not at the root
    int highlight_ = -1;
    int scroll_ = 0;
    std::string path_;
};

}  // namespace zarn
