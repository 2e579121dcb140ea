#pragma once
// CWinApp and the single-document template.
//
//  - Exactly one CWinApp object exists (a global); its constructor makes it
//    what AfxGetApp() returns. m_pMainWnd is the main window: showing it
//    maps the host window, its title is the host window's title, and closing
//    it ends the program.
//  - InitInstance returns TRUE to run the message loop (Run), FALSE to end at
//    once. Run returns the exit code given to PostQuitMessage (0 when the host
//    window is closed).
//  - ProcessShellCommand with an empty command line performs file-new: the
//    template creates the document (OnNewDocument), the frame (LoadFrame,
//    whose OnCreate makes the first view with id AFX_IDW_PANE_FIRST) and then
//    calls that view's OnInitialUpdate; FALSE when any of it fails, and the
//    pieces made so far are gone again.
//  - DoWaitCursor(1) shows the wait cursor, DoWaitCursor(-1) removes it;
//    calls nest.
//  - AfxSocketInit succeeds (there is no sockets layer to start).

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/frame.h"

namespace zarn {

class CSingleDocTemplate {
public:
    CSingleDocTemplate(UINT resourceId, const CRuntimeClass* docClass, const CRuntimeClass* frameClass,
                       const CRuntimeClass* viewClass);
    ~CSingleDocTemplate();
    CDocument* OpenDocumentFile(const char* path, BOOL makeVisible = TRUE);
    CDocument* document() const { return document_; }

private:
    UINT resourceId_;
    const CRuntimeClass* docClass_;
    const CRuntimeClass* frameClass_;
    const CRuntimeClass* viewClass_;
    CDocument* document_ = nullptr;
};

class CCommandLineInfo {
public:
    enum Shell { FileNew, FileOpen, FileNothing };
    Shell m_nShellCommand = FileNew;
    std::string m_strFileName;
};

class CWinApp : public CObject {
    DECLARE_DYNAMIC(CWinApp)
public:
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int Run();
    virtual int ExitInstance() { return 0; }
    // Framework commands the frame did not handle (file new, file open).
    virtual BOOL OnCmdMsg(UINT id);

    void AddDocTemplate(CSingleDocTemplate* docTemplate);
    void SetRegistryKey(const char* key) { registryKey_ = key ? key : ""; }
    void ParseCommandLine(CCommandLineInfo& info);
    BOOL ProcessShellCommand(CCommandLineInfo& info);
    void OnFileNew();
    void OnFileOpen();
    void DoWaitCursor(int code);

    CWnd* m_pMainWnd = nullptr;
    std::string m_pszAppName;

private:
    std::vector<std::unique_ptr<CSingleDocTemplate>> templates_;
    std::string registryKey_;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
BOOL AfxSocketInit();
// For tests: makes AfxSocketInit fail.
void setSocketInitFailsForTest(bool fails);

}  // namespace zarn
