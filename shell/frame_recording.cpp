// The main frame's recording commands: start and stop a log, write what the
// decoder staged, store a snapshot of the screen.
#include <cstdio>

#include "platform/device_root.h"
#include "platform/message_box.h"
#include "platform/ui/app.h"
#include "platform/ui/file_dialog.h"
#include "recording/jpeg_writer.h"
#include "recording/log_recorder.h"
#include "recording/snapshot_counter.h"
#include "screens/sounds.h"
#include "shell/main_frame.h"

namespace zarn {
namespace {

constexpr const char* kLogFilter = "Zarn Log Files (*.zrn)|*.zrn|All Files (*.*)|*.*||";
constexpr const char* kSnapshotFilter = "Snapshot JPEG (*.jpg)|*.jpg|All Files (*.*)|*.*||";
constexpr const char* kCounterFile = "\\zarnimg.cnt";
constexpr size_t kMaxErrorText = 1024;
constexpr const char* kOutsideDevice = "The path is not on the device.";

std::string boundedMessage(const char* format, const std::string& a, const std::string& b = "") {
    char text[kMaxErrorText + 512];
    std::snprintf(text, sizeof text, format, a.substr(0, kMaxErrorText).c_str(), b.substr(0, kMaxErrorText).c_str());
    return text;
}

// The screen's pixels as a 24-bit bottom-up image, blue-green-red, rows padded to 4 bytes.
std::vector<uint8_t> captureScreen(CWnd* screen, int& width, int& height, int& stride) {
    CRect client;
    screen->GetClientRect(&client);
    width = client.Width();
    height = client.Height();
    CDC* screenDc = screen->GetDC();
    CDC memory;
    memory.CreateCompatibleDC(screenDc);
    CBitmap copy;
    copy.CreateCompatibleBitmap(screenDc, width, height);
    CBitmap* oldCopy = memory.SelectObject(&copy);
    memory.BitBlt(0, 0, width, height, screenDc, 0, 0, SRCCOPY);

    CDC dibDc;
    dibDc.CreateCompatibleDC(screenDc);
    CBitmap dib;
    void* bits = nullptr;
    dib.CreateDIBSection(&dibDc, width, height, 24, &bits);
    CBitmap* oldDib = dibDc.SelectObject(&dib);
    dibDc.BitBlt(0, 0, width, height, &memory, 0, 0, SRCCOPY);
    stride = (width * 3 + 3) & ~3;
    std::vector<uint8_t> image(static_cast<const uint8_t*>(bits),
                               static_cast<const uint8_t*>(bits) + static_cast<size_t>(stride) * height);
    dibDc.SelectObject(oldDib);
    memory.SelectObject(oldCopy);
    screen->ReleaseDC(screenDc);
    return image;
}

void reportWriteFailure(const std::string& file, const std::string& error) {
    AfxMessageBox(boundedMessage("Could not write log file (%s): %s. Logging has stopped.", file, error), MB_OK);
}

}  // namespace

LRESULT CMainFrame::OnLogRecord() {
    std::string error;
    if (logRecorder().writePendingRecord(error) == 0) return 1;
    // Stop first: the message box runs the message loop, and the records
    // still queued must not fail one box after another.
    const std::string file = boardState().logFileName;
    logRecorder().stopLog(boardState());
    reportWriteFailure(file, error);
    return 1;
}

void CMainFrame::OnLogStart() {
    playCommandBeep();
    CFileDialog dialog(FALSE, ".zrn", "zarnlog.zrn", OFN_PATHMUSTEXIST, kLogFilter, this);
    if (dialog.DoModal() != IDOK) return;
    AfxGetApp()->DoWaitCursor(1);
    const std::string path = dialog.GetPathName();
    const std::string file = hostPath(path);
    std::string error = kOutsideDevice;
    if (file.empty() || logRecorder().startLog(boardState(), file, path, error) != 0) {
        logRecorder().stopLog(boardState());
        AfxMessageBox(boundedMessage("Could not open file (%s)", error), MB_OK);
    }
    AfxGetApp()->DoWaitCursor(-1);
}

void CMainFrame::OnLogStop() {
    playCommandBeep();
    AfxGetApp()->DoWaitCursor(1);
    std::string error;
    if (logRecorder().finishLog(boardState(), error) != 0) reportWriteFailure(boardState().logFileName, error);
    AfxGetApp()->DoWaitCursor(-1);
}

void CMainFrame::OnStoreJpeg() {
    PlayWaveResource("CAMERA");
    CView* screen = GetActiveView();
    if (!screen) return;
    int width = 0, height = 0, stride = 0;
    const std::vector<uint8_t> capture = captureScreen(screen, width, height, stride);
    std::vector<uint8_t> image = composeSnapshotImage(capture.data(), width, height, stride);

    const std::string counterFile = hostPath(kCounterFile);
    const int counter = readSnapshotCounter(counterFile);
    const std::string proposed = snapshotFileName(counter);
    CFileDialog dialog(FALSE, ".JPG", proposed.c_str(), OFN_PATHMUSTEXIST, kSnapshotFilter, this);
    if (dialog.DoModal() != IDOK) return;
    AfxGetApp()->DoWaitCursor(1);
    const std::string path = dialog.GetPathName();
    const std::string file = hostPath(path);
    if (file.empty()) {
        lastJpegError = boundedMessage("Can't open file\"%s\"", path);
        AfxMessageBox(lastJpegError, MB_OK);
    } else if (WriteJpegFile(file, kSnapshotWidth, kSnapshotHeight, 100, image.data()) == 0) {
        AfxMessageBox(lastJpegError, MB_OK);
    }
    writeNextSnapshotCounter(counterFile, counter);
    AfxGetApp()->DoWaitCursor(-1);
}

}  // namespace zarn
