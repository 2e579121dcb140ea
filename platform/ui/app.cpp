#include "platform/ui/app.h"

#include "platform/ui/window_system.h"

namespace zarn {

IMPLEMENT_DYNAMIC(CWinApp, CObject)

namespace {
CWinApp* theApp = nullptr;
bool socketInitFails = false;
}  // namespace

CWinApp* AfxGetApp() { return theApp; }
CWnd* AfxGetMainWnd() { return theApp ? theApp->m_pMainWnd : nullptr; }
BOOL AfxSocketInit() { return socketInitFails ? FALSE : TRUE; }
void setSocketInitFailsForTest(bool fails) { socketInitFails = fails; }

CSingleDocTemplate::CSingleDocTemplate(UINT resourceId, const CRuntimeClass* docClass,
                                       const CRuntimeClass* frameClass, const CRuntimeClass* viewClass)
    : resourceId_(resourceId), docClass_(docClass), frameClass_(frameClass), viewClass_(viewClass) {}

CSingleDocTemplate::~CSingleDocTemplate() { delete document_; }

CDocument* CSingleDocTemplate::OpenDocumentFile(const char*, BOOL makeVisible) {
    if (document_) {
        // One document only: file-new starts it afresh in the same frame.
        return document_->OnNewDocument() ? document_ : nullptr;
    }
    CDocument* doc = dynamic_cast<CDocument*>(docClass_ ? docClass_->CreateObject() : nullptr);
    if (!doc) return nullptr;
    if (!doc->OnNewDocument()) {
        delete doc;
        return nullptr;
    }
    CObject* object = frameClass_ ? frameClass_->CreateObject() : nullptr;
    CFrameWnd* frame = dynamic_cast<CFrameWnd*>(object);
    if (!frame) {
        delete object;
        delete doc;
        return nullptr;
    }
    CWinApp* app = AfxGetApp();
    bool becameMain = false;
    if (app && !app->m_pMainWnd) {
        app->m_pMainWnd = frame;  // during creation already, as the frame's start-up may ask for it
        becameMain = true;
    }
    CCreateContext context;
    context.m_pNewViewClass = viewClass_;
    context.m_pCurrentDoc = doc;
    context.m_pNewDocTemplate = this;
    context.m_pCurrentFrame = frame;
    if (!frame->LoadFrame(resourceId_, 0, nullptr, &context)) {
        if (becameMain) app->m_pMainWnd = nullptr;
        delete frame;
        delete doc;
        return nullptr;
    }
    frame->setAutoDelete(true);
    document_ = doc;
    frame->InitialUpdateFrame(doc, makeVisible);
    return doc;
}

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName ? appName : "") { theApp = this; }

CWinApp::~CWinApp() {
    if (m_pMainWnd && m_pMainWnd->isCreated()) m_pMainWnd->DestroyWindow();
    m_pMainWnd = nullptr;
    templates_.clear();
    if (theApp == this) theApp = nullptr;
}

int CWinApp::Run() {
    int code = WindowSystem::get().run();
    int exitCode = ExitInstance();
    return code != 0 ? code : exitCode;
}

BOOL CWinApp::OnCmdMsg(UINT id) {
    if (id == ID_FILE_NEW) {
        OnFileNew();
        return TRUE;
    }
    if (id == ID_FILE_OPEN) {
        OnFileOpen();
        return TRUE;
    }
    return FALSE;
}

void CWinApp::AddDocTemplate(CSingleDocTemplate* docTemplate) { templates_.emplace_back(docTemplate); }

void CWinApp::ParseCommandLine(CCommandLineInfo& info) { info.m_nShellCommand = CCommandLineInfo::FileNew; }

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& info) {
    if (info.m_nShellCommand == CCommandLineInfo::FileNothing) return TRUE;
    if (templates_.empty()) return FALSE;
    return templates_.front()->OpenDocumentFile(nullptr) ? TRUE : FALSE;
}

void CWinApp::OnFileNew() {
    if (!templates_.empty()) templates_.front()->OpenDocumentFile(nullptr);
}

// The document holds nothing, so opening one is a new one.
void CWinApp::OnFileOpen() { OnFileNew(); }

void CWinApp::DoWaitCursor(int code) { WindowSystem::get().waitCursor(code > 0 ? 1 : (code < 0 ? -1 : 0)); }

}  // namespace zarn
