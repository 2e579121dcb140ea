#pragma once
// CMainFrame: the one top-level window. Its creation brings up the board
// (serial link, link thread, first request, start sound); it carries the
// seven-button command bar, shows one screen at a time and repaints it or
// writes the log when the link thread says so.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "board/board_state.h"
#include "platform/ui/frame.h"
#include "screens/screen_host.h"
#include "board/board_connection.h"
#include "shell/title_marks.h"

namespace zarn {

constexpr UINT ID_MAIN_MENU = 32771;
constexpr UINT ID_UP_ARROW = 32772;
constexpr UINT ID_DOWN_ARROW = 32773;
constexpr UINT ID_STORE_JPEG = 32774;
constexpr UINT ID_LOG_START = 32775;
constexpr UINT ID_LOG_STOP = 32776;
constexpr UINT ID_ABOUT = 32777;
constexpr UINT kHiddenScreenId = 2;
constexpr UINT kFrameTimer = 1;
constexpr UINT kFrameTimerMs = 1000;
// Posted from the position source's thread when gpsd's status changes.
constexpr uint32_t WM_GPS_STATUS = kAppMessageBase + 102;

class TrackRecorder;

// What the frame's start-up waits and connects with; tests give their own.
struct FrameStartup {
    uint32_t waitMs = 1500;
    std::function<std::unique_ptr<BoardConnection>(RecordSink*)> connect = openSerialBoard;
};
FrameStartup& frameStartup();

class CMainFrame : public CFrameWnd, public ScreenHost, public MessagePoster {
    DECLARE_DYNCREATE(CMainFrame)
public:
    static const std::array<UINT, 7> kCommands;
    static const std::array<int, 6> kTooltipStrings;

    CMainFrame() = default;
    ~CMainFrame() override;

    int OnCreate(LPCREATESTRUCT cs) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnDestroy() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    void SwitchView(const CRuntimeClass* screenClass, UINT newId) override;
    void switchToMainMenu() override;
    bool postMessage(uint32_t message) override;

    LRESULT OnBoardUpdate();
    LRESULT OnLogRecord();
    LRESULT OnBoardLost();
    LRESULT OnBoardAnswered();
    LRESULT OnGpsStatus();
    void OnReturnToMainMenu();
    void OnUpArrow() {}
    void OnDownArrow() {}
    void OnStoreJpeg();
    void OnLogStart();
    void OnLogStop();
    void OnAbout();

    CCeCommandBar& commandBar() { return commandBar_; }
    TitleMarks& titleMarks() { return titleMarks_; }

private:
    bool createCommandBar();
    void bringUpBoard();
    void takeDownBoard();
    void startPositions();
    void stopPositions();

    CCeCommandBar commandBar_;
    std::array<std::string, 6> tooltipTexts_;
    std::unique_ptr<BoardConnection> board_;
    TitleMarks titleMarks_;
    std::unique_ptr<TrackRecorder> track_;  // none while positions are off
};

}  // namespace zarn
