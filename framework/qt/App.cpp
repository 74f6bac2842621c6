// The application object, documents, the single-document template and the
// main loop over Qt's event loop.
#include "framework/Resources.h"
#include "framework/WinApp.h"
#include "framework/qt/QtBridge.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

constexpr UINT kIdsAppTitle = 57344;
constexpr UINT kIdFileNew = 57600;
constexpr UINT kIdFileOpen = 57601;
constexpr UINT kIdFileSave = 57603;

CWinApp* g_pApp = nullptr;
QEventLoop* g_pMainLoop = nullptr;  // the loop of Run, while it runs
int g_nExitCode = 0;
bool g_bQuitPending = false;        // AfxPostQuit came before Run

// Every template alive, so the end of a main window can close its document.
std::vector<CSingleDocTemplate*>& LiveTemplates()
{
    static std::vector<CSingleDocTemplate*> s_templates;
    return s_templates;
}

// A frame window that went without closing its document (WM_CLOSE ends in
// DestroyWindow) leaves view, frame and document objects behind.
void CloseOrphanedDocuments()
{
    const std::vector<CSingleDocTemplate*> templates = LiveTemplates();
    for (CSingleDocTemplate* pTemplate : templates) {
        if (pTemplate->GetFrame() && !pTemplate->GetFrame()->IsWindow())
            pTemplate->CloseAll();
    }
}

// Message boxes and dialogs belong to the main window and go with it, as on
// the original platform; else a box left open would keep the program alive.
void CloseModalWindows()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget* pWidget : widgets) {
        if (pWidget->isVisible() && pWidget->isModal())
            pWidget->close();
    }
}

void EndMainLoop(int nExitCode)
{
    g_nExitCode = nExitCode;
    CloseModalWindows();
    // A handler of the view may still be on the stack below a message box's
    // loop; its objects go once it has returned.
    if (CDispatchScope::Active()) {
        QTimer::singleShot(20, qApp, [nExitCode] { EndMainLoop(nExitCode); });
        return;
    }
    // The backend asks for the end while the main window is still going
    // away; its objects are deleted here, after that, before the loop ends.
    CloseOrphanedDocuments();
    if (g_pMainLoop)
        g_pMainLoop->exit(nExitCode);
    else
        g_bQuitPending = true;
}

// ---- SIGINT and SIGTERM: the handler only writes to a pipe; the UI thread
// reads it and closes the main window the ordinary way.

int g_aSignalPipe[2] = {-1, -1};

extern "C" void OnTerminateSignal(int)
{
    const int nSavedErrno = errno;
    const char ch = 1;
    if (write(g_aSignalPipe[1], &ch, 1) < 0) {
        // The pipe is full: a close is already on its way.
    }
    errno = nSavedErrno;
}

void OnTerminateRequested()
{
    char aBuf[16];
    while (read(g_aSignalPipe[0], aBuf, sizeof(aBuf)) > 0) {
    }
    CWnd* pMainWnd = AfxGetMainWnd();
    if (pMainWnd && pMainWnd->IsWindow())
        pMainWnd->PostMessage(WM_CLOSE);
    else
        EndMainLoop(0);
}

void InstallTerminateHandlers()
{
    if (g_aSignalPipe[0] >= 0 || pipe2(g_aSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* pNotifier = new QSocketNotifier(g_aSignalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(pNotifier, &QSocketNotifier::activated, pNotifier, [] { OnTerminateRequested(); });
    struct sigaction sa {};
    sa.sa_handler = OnTerminateSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

// Options QApplication takes with a value in the next argument. It removes
// them from argv when it sees them; they are skipped here too in case a
// caller kept its own copy of the arguments.
bool IsQtOptionWithValue(const char* pszArg)
{
    static const char* const s_apszOptions[] = {
        "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
        "qwindowtitle", "style", "stylesheet", "session", "display", "geometry", "title", "name", "font", "fn",
        "bg", "background", "fg", "foreground", "btn", "button", "visual", "im", "inputstyle", "qmljsdebugger",
    };
    const char* pszName = pszArg + (pszArg[1] == '-' ? 2 : 1);
    if (std::strchr(pszName, '='))
        return false;
    for (const char* pszOption : s_apszOptions) {
        if (std::strcmp(pszName, pszOption) == 0)
            return true;
    }
    return false;
}

CString FirstField(const CString& str) { return str.substr(0, str.find('\n')); }

// Destroys the window (its WM_DESTROY comes first) and then the object.
void DestroyWindowObject(CWnd* pWnd)
{
    if (!pWnd)
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
    LiveTemplates().push_back(this);
}

CSingleDocTemplate::~CSingleDocTemplate()
{
    CloseAll();
    std::erase(LiveTemplates(), this);
}

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
            g_pMainLoop->exit(g_nExitCode);
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
}

CWinApp::~CWinApp()
{
    m_templates.clear();
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
    QEventLoop loop;
    g_pMainLoop = &loop;
    const int nResult = loop.exec();
    g_pMainLoop = nullptr;
    CloseOrphanedDocuments();
    return nResult;
}

void CWinApp::AddDocTemplate(CSingleDocTemplate* pTemplate)
{
    if (pTemplate)
        m_templates.emplace_back(pTemplate);
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
            else if (IsQtOptionWithValue(pszArg))
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
    const QString strPath = QFileDialog::getOpenFileName(nullptr, QStringLiteral("Open"));
    if (!strPath.isEmpty())
        m_templates.front()->OpenDocumentFile(strPath.toStdString());
}

void CWinApp::OnFileSave()
{
    CDocument* pDoc = m_templates.empty() ? nullptr : m_templates.front()->GetDocument();
    if (!pDoc)
        return;
    const QString strPath = QFileDialog::getSaveFileName(nullptr, QStringLiteral("Save As"));
    if (!strPath.isEmpty())
        pDoc->OnSaveDocument(strPath.toStdString());
}

void CWinApp::LoadStdProfileSettings(UINT /*nMaxMRU*/) {}

CWinApp* AfxGetApp() { return g_pApp; }

CWnd* AfxGetMainWnd() { return g_pApp ? g_pApp->m_pMainWnd : nullptr; }

void AfxPostQuit(int nExitCode)
{
    QMetaObject::invokeMethod(qApp, [nExitCode] { EndMainLoop(nExitCode); }, Qt::QueuedConnection);
}

int AfxWinMain(int argc, char** argv)
{
    AfxInitBackend(argc, argv);
    // The program lives in the notification area with no window shown.
    QApplication::setQuitOnLastWindowClosed(false);
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return 1;
    pApp->m_argc = argc;
    pApp->m_argv = argv;
    if (pApp->m_pszAppName.empty())
        AfxLoadString(kIdsAppTitle, pApp->m_pszAppName);

    // Before InitInstance: a signal during start-up closes the window once
    // the loop runs, rather than killing the program half set up.
    InstallTerminateHandlers();
    if (!pApp->InitInstance()) {
        if (pApp->m_pMainWnd && pApp->m_pMainWnd->IsWindow())
            pApp->m_pMainWnd->DestroyWindow();
        CloseOrphanedDocuments();
        return pApp->ExitInstance();
    }
    pApp->Run();
    return pApp->ExitInstance();
}
