// The application object, documents, the single-document template, the
// command line, the message loop and its ending, the terminating signals and
// the orderly end of AfxWinMain.
#include "framework/Resources.h"
#include "framework/System.h"
#include "framework/WinApp.h"
#include "framework/WndPrivate.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

constexpr UINT kIdsAppTitle = 57344;
constexpr UINT kIdrMainFrame = 128;  // the main frame's resources, its icon among them
constexpr UINT kIdFileNew = 57600;
constexpr UINT kIdFileOpen = 57601;
constexpr UINT kIdFileSave = 57603;

// Plain values only: nothing here has a destructor to run after main.
CWinApp* g_pApp = nullptr;
AFX_LOOP* g_pMainLoop = nullptr;  // the loop of Run, while it runs
int g_nExitCode = 0;
bool g_bQuitPending = false;      // AfxPostQuit came before Run
bool g_bBackendReady = false;

// A frame window that went without closing its document (WM_CLOSE ends in
// DestroyWindow) leaves view, frame and document objects behind.
void CloseOrphanedDocuments()
{
    if (g_pApp != nullptr)
        g_pApp->CloseOrphanedDocuments();
}

void EndMainLoop(int nExitCode)
{
    g_nExitCode = nExitCode;
    // Message boxes and dialogs belong to the main window and go with it, as
    // on the original platform; else a box left open would keep the program
    // alive.
    AfxEndModalLoops();
    // A handler of the view may still be on the stack below a message box's
    // loop; its objects go once it has returned.
    if (CDispatchScope::Active()) {
        AfxStartCallbackTimer(20, [nExitCode] { EndMainLoop(nExitCode); }, TRUE);
        return;
    }
    CloseOrphanedDocuments();
    if (g_pMainLoop != nullptr)
        AfxPort().ExitLoop(*g_pMainLoop, nExitCode);
    else
        g_bQuitPending = true;
}

// Requested by a terminating signal (SIGINT, SIGTERM, SIGHUP): the main
// window closes the ordinary way, as its close box would.
void OnTerminateRequested()
{
    CWnd* pMainWnd = AfxGetMainWnd();
    if (pMainWnd != nullptr && pMainWnd->IsWindow())
        pMainWnd->PostMessage(WM_CLOSE);
    else
        EndMainLoop(0);
}

// An option the toolkit takes with a value in the next argument. It removes
// them from argv when it sees them; they are skipped here too in case a
// caller kept its own copy of the arguments.
bool IsToolkitOptionWithValue(const char* pszArg)
{
    const char* pszName = pszArg + (pszArg[1] == '-' ? 2 : 1);
    return std::strchr(pszName, '=') == nullptr && AfxHasPort() && AfxPort().TakesOptionValue(pszName);
}

CString FirstField(const CString& str) { return str.substr(0, str.find('\n')); }

// Destroys the window (its WM_DESTROY comes first) and then the object.
void DestroyWindowObject(CWnd* pWnd)
{
    if (pWnd == nullptr)
        return;
    if (pWnd->IsWindow())
        pWnd->DestroyWindow();
    delete pWnd;
}

}  // namespace

// ---- documents

BOOL CDocument::OnNewDocument() { return TRUE; }

BOOL CDocument::OnOpenDocument(const CString& strPath)
{
    std::error_code ec;
    std::ifstream in;
    if (!std::filesystem::is_directory(strPath, ec))
        in.open(strPath, std::ios::binary);
    if (!in.is_open()) {
        AfxMessageBox(strPath + "\nCannot open this file.\nPlease verify that the correct path and file name are given.",
                      MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    CArchive ar(FALSE);
    Serialize(ar);
    return TRUE;
}

BOOL CDocument::OnSaveDocument(const CString& strPath)
{
    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) {
        AfxMessageBox("Failed to save document.", MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    // Our archives carry no data: whatever Serialize stores, the file stays empty.
    CArchive ar(TRUE);
    Serialize(ar);
    return TRUE;
}

void CDocument::Serialize(CArchive& /*ar*/) {}

// ---- the single-document template

CSingleDocTemplate::CSingleDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass,
                                       const CRuntimeClass* pFrameClass, const CRuntimeClass* pViewClass)
    : m_nIDResource(nIDResource), m_pDocClass(pDocClass), m_pFrameClass(pFrameClass), m_pViewClass(pViewClass)
{
}

CSingleDocTemplate::~CSingleDocTemplate() { CloseAll(); }

CDocument* CSingleDocTemplate::OpenDocumentFile(const CString& strPath)
{
    CWinApp* pApp = AfxGetApp();
    CDocument* pDoc = m_pDocument;
    CFrameWnd* pFrame = m_pFrame;
    CView* pView = pFrame ? pFrame->GetActiveView() : nullptr;
    const BOOL bCreated = pDoc == nullptr;

    if (bCreated) {
        pDoc = dynamic_cast<CDocument*>(m_pDocClass ? m_pDocClass->CreateObject() : nullptr);
        if (!pDoc)
            return nullptr;
        CObject* pFrameObject = m_pFrameClass ? m_pFrameClass->CreateObject() : nullptr;
        pFrame = dynamic_cast<CFrameWnd*>(pFrameObject);
        if (!pFrame) {
            delete pFrameObject;
            delete pDoc;
            return nullptr;
        }
        // Known from here on, so that the frame can close them while it is
        // being set up; m_bClosing keeps a failed set-up from doing so twice.
        m_pDocument = pDoc;
        m_pFrame = pFrame;
        CString strDocString;
        AfxLoadString(m_nIDResource, strDocString);
        BOOL bOk = pFrame->LoadFrame(m_nIDResource, FirstField(strDocString));
        if (bOk) {
            CObject* pViewObject = m_pViewClass ? m_pViewClass->CreateObject() : nullptr;
            auto* pFormView = dynamic_cast<CFormView*>(pViewObject);
            if (!pFormView) {
                delete pViewObject;
                bOk = FALSE;
            } else {
                pView = pFormView;
                pFrame->SetActiveView(pView);
                bOk = pFormView->Create(pFrame);
            }
        }
        if (!bOk) {
            CloseAll();
            return nullptr;
        }
        // The main window from here on: the document's and the view's first
        // steps may already ask for it.
        if (pApp && !pApp->m_pMainWnd)
            pApp->m_pMainWnd = pFrame;
    }

    // Runs like a handler: a message box in these steps may see the frame
    // closed, and the objects must outlive the steps.
    CDispatchScope scope;
    const BOOL bDocOk = strPath.empty() ? pDoc->OnNewDocument() : pDoc->OnOpenDocument(strPath);
    if (!bDocOk) {
        // Only what this call created goes; a document already open stays.
        // A set-up that failed is no reason to end the message loop.
        if (bCreated) {
            if (pApp && pApp->m_pMainWnd == pFrame)
                pApp->m_pMainWnd = nullptr;
            CloseAll();
        }
        return nullptr;
    }

    if (pView)
        pView->OnInitialUpdate();
    pFrame->ShowWindow(pApp ? pApp->m_nCmdShow : SW_SHOWNORMAL);
    if (pApp) {
        pApp->m_nCmdShow = SW_SHOWNORMAL;
        pApp->m_pMainWnd = pFrame;
    }
    return pDoc;
}

void CSingleDocTemplate::CloseAll()
{
    if (m_bClosing)
        return;
    m_bClosing = TRUE;
    CFrameWnd* pFrame = m_pFrame;
    CDocument* pDoc = m_pDocument;
    if (pFrame) {
        CView* pView = pFrame->GetActiveView();
        pFrame->SetActiveView(nullptr);
        DestroyWindowObject(pView);
        CWinApp* pApp = AfxGetApp();
        const bool bMainWnd = pApp && pApp->m_pMainWnd == pFrame;
        if (bMainWnd)
            pApp->m_pMainWnd = nullptr;
        DestroyWindowObject(pFrame);
        m_pFrame = nullptr;
        // Only a running loop ends; no quit is kept for a later one.
        if (bMainWnd && g_pMainLoop)
            AfxPort().ExitLoop(*g_pMainLoop, g_nExitCode);
    }
    delete pDoc;
    m_pDocument = nullptr;
    m_bClosing = FALSE;
}

// ---- the application

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
    ON_COMMAND(kIdFileNew, &CWinApp::OnFileNew)
    ON_COMMAND(kIdFileOpen, &CWinApp::OnFileOpen)
    ON_COMMAND(kIdFileSave, &CWinApp::OnFileSave)
END_MESSAGE_MAP()

CWinApp::CWinApp()
{
    g_pApp = this;
    g_nExitCode = 0;
    g_bQuitPending = false;
    // Programs that set their resources later get the name in AfxWinMain.
    if (AfxGetResources())
        AfxLoadString(kIdsAppTitle, m_pszAppName);
    m_pszHelpFilePath = AfxDefaultHelpFilePath();
}

CWinApp::~CWinApp()
{
    CloseAllDocuments();
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return g_nExitCode; }

int CWinApp::Run()
{
    if (g_bQuitPending) {
        g_bQuitPending = false;
        return g_nExitCode;
    }
    AFX_LOOP loop;
    g_pMainLoop = &loop;
    const int nResult = AfxPort().RunLoop(loop);
    g_pMainLoop = nullptr;
    CloseOrphanedDocuments();
    return nResult;
}

void CWinApp::AddDocTemplate(CSingleDocTemplate* pTemplate)
{
    if (pTemplate)
        m_templates.emplace_back(pTemplate);
}

void CWinApp::CloseOrphanedDocuments()
{
    for (const auto& pTemplate : m_templates) {
        if (pTemplate->GetFrame() && !pTemplate->GetFrame()->IsWindow())
            pTemplate->CloseAll();
    }
}

void CWinApp::CloseAllDocuments()
{
    // One at a time: a template's views may still ask for the others.
    while (!m_templates.empty()) {
        m_templates.back()->CloseAll();
        m_templates.pop_back();
    }
}

void CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo)
{
    rCmdInfo.m_nShellCommand = CCommandLineInfo::FileNew;
    rCmdInfo.m_strFileName.clear();
    bool bOptionsEnded = false;
    for (int i = 1; i < m_argc && m_argv; ++i) {
        const char* pszArg = m_argv[i];
        if (!pszArg)
            continue;
        if (!bOptionsEnded && pszArg[0] == '-' && pszArg[1] != '\0') {
            if (std::strcmp(pszArg, "--") == 0)
                bOptionsEnded = true;
            else if (IsToolkitOptionWithValue(pszArg))
                ++i;
            continue;  // the program has no options of its own
        }
        rCmdInfo.m_nShellCommand = CCommandLineInfo::FileOpen;
        rCmdInfo.m_strFileName = pszArg;
        return;
    }
}

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& rCmdInfo)
{
    if (m_templates.empty())
        return FALSE;
    const CString strPath = rCmdInfo.m_nShellCommand == CCommandLineInfo::FileOpen ? rCmdInfo.m_strFileName : CString();
    if (rCmdInfo.m_nShellCommand == CCommandLineInfo::FileOpen && strPath.empty())
        return FALSE;
    return m_templates.front()->OpenDocumentFile(strPath) ? TRUE : FALSE;
}

void CWinApp::OnFileNew()
{
    if (!m_templates.empty())
        m_templates.front()->OpenDocumentFile(CString());
}

void CWinApp::OnFileOpen()
{
    if (m_templates.empty())
        return;
    const CString strPath = AfxPort().FileDialog(TRUE, "Open");
    if (!strPath.empty())
        m_templates.front()->OpenDocumentFile(strPath);
}

void CWinApp::OnFileSave()
{
    CDocument* pDoc = m_templates.empty() ? nullptr : m_templates.front()->GetDocument();
    if (!pDoc)
        return;
    const CString strPath = AfxPort().FileDialog(FALSE, "Save As");
    if (!strPath.empty())
        pDoc->OnSaveDocument(strPath);
}

void CWinApp::LoadStdProfileSettings(UINT /*nMaxMRU*/) {}

CWinApp* AfxGetApp() { return g_pApp; }

CWnd* AfxGetMainWnd() { return g_pApp ? g_pApp->m_pMainWnd : nullptr; }

void AfxPostQuit(int nExitCode)
{
    AfxRunOnUiThread([nExitCode] { EndMainLoop(nExitCode); });
}

void AfxInitBackend(int& argc, char** argv)
{
    if (g_bBackendReady)
        return;
    if (!AfxHasPort()) {
        std::fputs("No backend: AfxSetPort must come before the framework is used.\n", stderr);
        std::abort();
    }
    AfxPort().Init(argc, argv);
    g_bBackendReady = true;
    AfxWakeIfQueued();
}

void AfxPumpMessages()
{
    AfxPort().ProcessEvents();
    AfxDestroyHeldWindows();
}

BOOL AfxPumpUntil(const std::function<bool()>& pred, int nTimeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
    for (;;) {
        AfxPumpMessages();
        if (pred())
            return TRUE;
        const auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (nLeft <= 0)
            return FALSE;
        AfxPort().WaitForEvents(static_cast<int>(std::min<long long>(nLeft, 10)));
    }
}

int AfxWinMain(int argc, char** argv)
{
    AfxInitBackend(argc, argv);
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return 1;
    pApp->m_argc = argc;
    pApp->m_argv = argv;
    if (pApp->m_pszAppName.empty())
        AfxLoadString(kIdsAppTitle, pApp->m_pszAppName);
    AfxPort().SetAppIdentity(pApp->m_pszAppName, AfxLoadIcon(kIdrMainFrame));

    // Before InitInstance: a signal during start-up closes the window once
    // the loop runs, rather than killing the program half set up.
    AfxInstallTerminateHandlers(OnTerminateRequested);
    int nResult;
    if (!pApp->InitInstance()) {
        if (pApp->m_pMainWnd && pApp->m_pMainWnd->IsWindow())
            pApp->m_pMainWnd->DestroyWindow();
        CloseOrphanedDocuments();
        nResult = pApp->ExitInstance();
        // A start that failed (a file that cannot be opened) is no success
        // to whoever started the program.
        if (nResult == 0)
            nResult = 1;
    } else {
        pApp->Run();
        nResult = pApp->ExitInstance();
    }
    // Everything of the program goes now, in order and while the backend
    // still lives: the documents with their frames and views, then any
    // window left standing. Nothing is left for static destruction.
    pApp->CloseAllDocuments();
    pApp->m_pMainWnd = nullptr;
    for (HWND hWnd : AfxTopLevelWindows()) {
        if (CWndState* pState = AfxStateFromHandle(hWnd); pState != nullptr && pState->pOwner != nullptr)
            pState->pOwner->DestroyWindow();
        if (CWndState* pState = AfxStateFromHandle(hWnd))
            AfxRetireWindow(pState);
    }
    AfxPort().ProcessEvents();
    AfxDestroyHeldWindows();
    return nResult;
}
