#include "screens/channel_table_load.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "platform/device_root.h"
#include "platform/message_box.h"
#include "platform/ui/dialog.h"
#include "platform/ui/file_dialog.h"

namespace zarn {
namespace {

constexpr const char* kFilter = "KMT Channel Table Files (*.kct)|*.kct|All Files (*.*)|*.*||";

void showOpenError(CWnd* owner, int error) {
    const std::string text = std::strerror(error);
    if (owner)
        owner->MessageBox(text, kFileOpenErrorCaption, MB_ICONHAND);
    else
        MessageBox(nullptr, text, kFileOpenErrorCaption, MB_ICONHAND);
}

// A folder opens like a file on the host; on the device it does not.
std::FILE* openForReading(const std::string& path, int& error) {
    error = ENOENT;
    if (path.empty()) return nullptr;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    error = errno;
    struct stat st {};
    if (file && fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(file);
        error = EISDIR;
        return nullptr;
    }
    return file;
}

// The slots take band and channel; their levels stay as the decoder left them.
void storeTable(BoardState& board, const ChannelTableContents& contents) {
    for (size_t i = 0; i < contents.stored; ++i) {
        board.channelTable[i].band = contents.slots[i].band;
        board.channelTable[i].channel = contents.slots[i].channel;
        board.channelTableNames[i] = contents.slots[i].name;
    }
    board.channelTableTitle = contents.title;
    board.channelTableCount = contents.count;
}

}  // namespace

void loadChannelTable(CWnd* owner, BoardState& board) {
    CFileDialog dialog(TRUE, ".KCT", "KCT", OFN_FILEMUSTEXIST, kFilter, owner);
    if (dialog.DoModal() == IDOK) loadChannelTableFile(owner, dialog.GetPathName(), board);
}

TableLoad readChannelTableFile(const std::string& hostFile, BoardState& board, int& error) {
    std::FILE* file = openForReading(hostFile, error);
    if (!file) return TableLoad::OpenFailed;
    FileByteSource source(file);
    ChannelTableContents contents;
    const bool valid = readChannelTable(source, contents);
    std::fclose(file);
    if (!valid) return TableLoad::Invalid;
    storeTable(board, contents);
    return TableLoad::Loaded;
}

bool loadChannelTableFile(CWnd* owner, const std::string& devicePath, BoardState& board) {
    int error = 0;
    switch (readChannelTableFile(hostPath(devicePath), board, error)) {
    case TableLoad::Loaded: return true;
    case TableLoad::OpenFailed: showOpenError(owner, error); return false;
    case TableLoad::Invalid: break;
    }
    AfxMessageBox(kInvalidChannelTableText);
    if (owner && owner->GetSafeHwnd()) owner->InvalidateRect(nullptr, FALSE);
    return false;
}

}  // namespace zarn
