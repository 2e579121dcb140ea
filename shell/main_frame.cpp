#include "shell/main_frame.h"

#include <cstdio>

#include "board/board_sequences.h"
#include "platform/event.h"
#include "platform/gdi/resource.h"
#include "platform/ui/app.h"
#include "platform/ui/window_system.h"
#include "recording/log_recorder.h"
#include "recording/track_recorder.h"
#include "screens/band_raster_view.h"
#include "screens/sounds.h"
#include "screens/status_strip.h"
#include "shell/about_dlg.h"
#include "shell/main_menu.h"

namespace zarn {

IMPLEMENT_DYNCREATE(CMainFrame, CFrameWnd)

const std::array<UINT, 7> CMainFrame::kCommands = {ID_MAIN_MENU, ID_UP_ARROW, ID_DOWN_ARROW, ID_STORE_JPEG,
                                                   ID_LOG_START, ID_LOG_STOP,  ID_ABOUT};
const std::array<int, 6> CMainFrame::kTooltipStrings = {65001, 65002, 65004, 65005, 65006, 65007};

namespace {
constexpr size_t kMaxTooltipLength = 255;
}  // namespace

FrameStartup& frameStartup() {
    static FrameStartup startup;
    return startup;
}

CMainFrame::~CMainFrame() {
    takeDownBoard();
    stopPositions();
}

int CMainFrame::OnCreate(LPCREATESTRUCT cs) {
    Event delay;  // never signalled: the start-up's two pauses
    if (CFrameWnd::OnCreate(cs) == -1) return -1;
    for (size_t i = 0; i < tooltipTexts_.size(); ++i)
        tooltipTexts_[i] = loadString(kTooltipStrings[i]).substr(0, kMaxTooltipLength);
    if (!createCommandBar()) return -1;
    commandBar_.SetBarStyle(commandBar_.GetBarStyle() | CBRS_TOOLTIPS | CBRS_FLYBY | CBRS_SIZE_FIXED);

    startPositions();
    boardState().notifyWindow = this;
    createStatusStrip();
    AfxGetApp()->DoWaitCursor(1);
    board_ = frameStartup().connect(&logRecorder());
    delay.wait(frameStartup().waitMs);
    board_->startLinkThread();
    boardState().sendVersionRequest();
    delay.wait(frameStartup().waitMs);
    PlayWaveResource("HOWL");
    AfxGetApp()->DoWaitCursor(-1);
    SetTimer(kFrameTimer, kFrameTimerMs);
    return 0;
}

bool CMainFrame::createCommandBar() {
    if (!commandBar_.Create(this, CBRS_TOP, AFX_IDW_TOOLBAR)) return false;
    if (!commandBar_.InsertMenuBar(128) || !commandBar_.AddAdornments()) return false;
    if (!commandBar_.LoadToolBar(128, kCommands.data(), static_cast<int>(kCommands.size()))) return false;
    const char* texts[6];
    for (size_t i = 0; i < tooltipTexts_.size(); ++i) texts[i] = tooltipTexts_[i].c_str();
    commandBar_.SendMessage(TB_SETTOOLTIPS, 6, reinterpret_cast<LPARAM>(texts));
    RecalcLayout();
    return true;
}

void CMainFrame::OnSize(UINT type, int cx, int cy) {
    CFrameWnd::OnSize(type, cx, cy);
    if (type == SIZE_MINIMIZED) SendMessage(WM_CLOSE);
}

void CMainFrame::OnDestroy() {
    KillTimer(kFrameTimer);
    takeDownBoard();
    stopPositions();
    CFrameWnd::OnDestroy();
}

// The window is going: stop the link thread, write what it staged, close the
// log and the port. Nothing posts to this window afterwards.
void CMainFrame::takeDownBoard() {
    if (!board_) return;
    board_.reset();
    if (boardState().notifyWindow == this) boardState().notifyWindow = nullptr;
    std::string error;
    if (logRecorder().finishLog(boardState(), error) != 0)
        std::fprintf(stderr, "zarn: could not write log file %s: %s\n", boardState().logFileName.c_str(), error.c_str());
}

// Repaint requests fold into one while waiting: the screen shows the latest
// state whenever it is painted, and a fast stream must not pile up in the queue.
bool CMainFrame::postMessage(uint32_t message) {
    if (message == WM_BOARD_UPDATE) return WindowSystem::get().postCoalesced(this, message);
    return PostMessage(message) != FALSE;
}

LRESULT CMainFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_BOARD_UPDATE) return OnBoardUpdate();
    if (message == WM_LOG_RECORD) return OnLogRecord();
    if (message == WM_BOARD_LOST) return OnBoardLost();
    if (message == WM_BOARD_ANSWERED) return OnBoardAnswered();
    if (message == WM_GPS_STATUS) return OnGpsStatus();
    return CFrameWnd::WindowProc(message, wParam, lParam);
}

LRESULT CMainFrame::OnBoardUpdate() {
    if (CView* view = GetActiveView()) view->InvalidateRect(nullptr, FALSE);
    return 1;
}

// No box: the user may be walking with the device. A log being recorded stays open.
LRESULT CMainFrame::OnBoardLost() {
    titleMarks_.setBoardLost(true);
    return 1;
}

// The board answers on a port found again: what the open screen asked of it is asked again.
LRESULT CMainFrame::OnBoardAnswered() {
    titleMarks_.setBoardLost(false);
    CView* view = GetActiveView();
    if (!view || view->IsKindOf(RUNTIME_CLASS(CZarnView))) return 1;  // before the menu there is nothing to resume
    AfxGetApp()->DoWaitCursor(1);
    if (view->IsKindOf(RUNTIME_CLASS(CMain))) returnToIdle(boardState());
    else resumeMeasurement(boardState());
    AfxGetApp()->DoWaitCursor(-1);
    return 1;
}

BOOL CMainFrame::OnCommand(WPARAM wParam, LPARAM) {
    switch (LOWORD(wParam)) {
    case ID_MAIN_MENU: OnReturnToMainMenu(); return TRUE;
    case ID_UP_ARROW: OnUpArrow(); return TRUE;
    case ID_DOWN_ARROW: OnDownArrow(); return TRUE;
    case ID_STORE_JPEG: OnStoreJpeg(); return TRUE;
    case ID_LOG_START: OnLogStart(); return TRUE;
    case ID_LOG_STOP: OnLogStop(); return TRUE;
    case ID_ABOUT: OnAbout(); return TRUE;
    default: return FALSE;
    }
}

void CMainFrame::OnReturnToMainMenu() {
    playCommandBeep();
    boardState().sendMode(0);
    SwitchView(RUNTIME_CLASS(CMain), kHiddenScreenId);
}

void CMainFrame::switchToMainMenu() { SwitchView(RUNTIME_CLASS(CMain), kHiddenScreenId); }

void CMainFrame::OnAbout() {
    boardState().repaintEnabled = 0;
    CAboutDlg about(this);
    about.DoModal();
    boardState().repaintEnabled = 1;
}

void CMainFrame::SwitchView(const CRuntimeClass* screenClass, UINT newId) {
    CView* old = GetActiveView();
    if (old && old->IsKindOf(screenClass)) return;
    CDocument* document = GetActiveDocument();
    CView* next = nullptr;
    if (document) {
        POSITION pos = document->GetFirstViewPosition();
        while (pos && !next) {
            CView* view = document->GetNextView(pos);
            if (view->IsKindOf(screenClass)) next = view;
        }
    }
    if (!next) {
        CCreateContext context;
        context.m_pCurrentDoc = document;
        context.m_pNewViewClass = screenClass;
        next = CreateView(&context, newId);
        if (!next) return;
        next->OnInitialUpdate();
    }
    SetActiveView(next, TRUE);
    next->ShowWindow(SW_SHOW);
    if (old) {
        old->ShowWindow(SW_HIDE);
        old->SetDlgCtrlID(next->GetDlgCtrlID());
    }
    next->SetDlgCtrlID(AFX_IDW_PANE_FIRST);
    RecalcLayout();
}

}  // namespace zarn
