// Application object, documents and the single-document template.
#pragma once

#include "AfxTypes.h"
#include "CmdTarget.h"
#include "Wnd.h"

#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

// Dynamic creation by class: the template creates document, frame and view.
struct CRuntimeClass {
    const char* m_lpszClassName;
    CObject* (*m_pfnCreateObject)();
    const char* m_lpszBaseClassName = nullptr;  // with DECLARE_DYNAMIC
    CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
};

#define DECLARE_DYNCREATE(theClass)               \
public:                                           \
    static const CRuntimeClass class##theClass;   \
    static CObject* CreateObject();

#define IMPLEMENT_DYNCREATE(theClass)                                             \
    CObject* theClass::CreateObject() { return new theClass; }                   \
    const CRuntimeClass theClass::class##theClass = {#theClass, &theClass::CreateObject};

// Run-time class information without dynamic creation: the class's name and
// its base's.
#define DECLARE_DYNAMIC(theClass) \
public:                           \
    static const CRuntimeClass class##theClass;

#define IMPLEMENT_DYNAMIC(theClass, baseClass)                                      \
    static_assert(std::is_base_of_v<baseClass, theClass>, #theClass " derives from " #baseClass); \
    const CRuntimeClass theClass::class##theClass = {#theClass, nullptr, #baseClass};

#define RUNTIME_CLASS(theClass) (&theClass::class##theClass)

class CArchive {
public:
    explicit CArchive(BOOL bStoring) : m_bStoring(bStoring) {}
    BOOL IsStoring() const { return m_bStoring; }
    BOOL IsLoading() const { return !m_bStoring; }

private:
    BOOL m_bStoring;
};

class CDocument : public CCmdTarget {
public:
    virtual BOOL OnNewDocument();                       // TRUE
    virtual BOOL OnOpenDocument(const CString& strPath);  // the file must be readable
    virtual BOOL OnSaveDocument(const CString& strPath);  // writes what Serialize stores
    virtual void Serialize(CArchive& ar);
};

// One document, one frame, one view; id names the document string, the
// frame's menu, accelerators and icon.
class CSingleDocTemplate {
public:
    CSingleDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass, const CRuntimeClass* pFrameClass,
                       const CRuntimeClass* pViewClass);
    ~CSingleDocTemplate();

    // New document (strPath empty) or open strPath. Creates the document,
    // frame and view the first time, reuses them after; runs the view's
    // initial update and shows the frame with the application's m_nCmdShow.
    CDocument* OpenDocumentFile(const CString& strPath);
    CDocument* GetDocument() const { return m_pDocument; }
    CFrameWnd* GetFrame() const { return m_pFrame; }
    // Destroys view and frame and deletes the document.
    void CloseAll();

private:
    UINT m_nIDResource;
    const CRuntimeClass* m_pDocClass;
    const CRuntimeClass* m_pFrameClass;
    const CRuntimeClass* m_pViewClass;
    CDocument* m_pDocument = nullptr;
    CFrameWnd* m_pFrame = nullptr;
    BOOL m_bClosing = FALSE;  // CloseAll is under way; destroying the frame calls it again
};

class CCommandLineInfo {
public:
    enum { FileNew, FileOpen } m_nShellCommand = FileNew;
    CString m_strFileName;
};

// Help commands of WinHelp, and the framework's own text when help fails.
constexpr UINT HELP_CONTEXT = 0x0001;
constexpr UINT HELP_FINDER = 0x000B;

class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    // The message loop; returns when the main window is gone or AfxPostQuit is called.
    virtual int Run();

    void AddDocTemplate(CSingleDocTemplate* pTemplate);  // takes ownership
    // Closes every template's document, frame and view and lets go of the
    // templates (the end of AfxWinMain).
    void CloseAllDocuments();
    // Closes the documents whose frame has gone without them.
    void CloseOrphanedDocuments();
    void ParseCommandLine(CCommandLineInfo& rCmdInfo);
    BOOL ProcessShellCommand(CCommandLineInfo& rCmdInfo);
    void OnFileNew();
    void OnFileOpen();
    void OnFileSave();  // asks for a file name, then the document writes itself there
    void LoadStdProfileSettings(UINT nMaxMRU);  // we keep no recent-file list: nothing to load
    void Enable3dControls() {}                 // controls are drawn three-dimensional everywhere

    // Help: hands m_pszHelpFilePath to the desktop's opener (our help is one
    // HTML page, whatever dwData and nCmd ask); when it cannot be opened, a
    // message box says where the file is: string 0xF107 of the program
    // (AFX_IDP_FAILED_TO_LAUNCH_HELP), its %1 replaced by the path.
    virtual void WinHelp(DWORD dwData, UINT nCmd = HELP_CONTEXT);

    CString m_pszAppName;  // from string 57344
    CWnd* m_pMainWnd = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;
    int m_argc = 0;
    char** m_argv = nullptr;
    // The help file: by default <program folder>/<docs>/<program name>/manual/index.html,
    // where <docs> is the installed documentation folder as seen from the
    // installed programs' folder (../share/doc).
    CString m_pszHelpFilePath;

protected:
    std::vector<std::unique_ptr<CSingleDocTemplate>> m_templates;
    DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();
// The help file a CWinApp starts with (see m_pszHelpFilePath).
CString AfxDefaultHelpFilePath();
CWnd* AfxGetMainWnd();

// Ends the message loop soon, from the user-interface thread.
void AfxPostQuit(int nExitCode);

// Runs the application object on the backend set with AfxSetPort: sets up the
// backend, InitInstance, Run, ExitInstance, and then closes every document
// and window while the backend still lives.
int AfxWinMain(int argc, char** argv);

// Sets up the backend without an application object (tests, tools); safe to
// call more than once.
void AfxInitBackend(int& argc, char** argv);
// Delivers what is pending: posted messages, due timers, other events.
void AfxPumpMessages();
// Pumps messages until pred() holds or nTimeoutMs have passed; TRUE if it held.
BOOL AfxPumpUntil(const std::function<bool()>& pred, int nTimeoutMs);
// Runs fn on the user-interface thread soon, in turn with posted messages;
// may be called from any thread. This is how helper threads hand over work.
void AfxRunOnUiThread(std::function<void()> fn);

// Calls fn on the user-interface thread whenever descriptor fd is ready for
// what nEvents asks (AFX_FD_READ, AFX_FD_WRITE). Level-triggered: a callback
// that leaves the condition standing is called again.
using AfxDescriptorCallback = std::function<void(short nReady)>;
std::uintptr_t AfxWatchDescriptor(int fd, short nEvents, AfxDescriptorCallback fn);
void AfxChangeDescriptorWatch(std::uintptr_t token, short nEvents);
void AfxUnwatchDescriptor(std::uintptr_t token);
constexpr short AFX_FD_READ = 0x1;   // readable, or hung up
constexpr short AFX_FD_WRITE = 0x2;  // writable

// Calls fn once, on the user-interface thread, nElapseMs from now, unless
// cancelled first; 0 if no timer could be had.
std::uintptr_t AfxSetCallbackTimer(UINT nElapseMs, std::function<void()> fn);
void AfxKillCallbackTimer(std::uintptr_t token);

// Calls fnHook with the handle of every window that goes, after it has gone
// (layers that keep work for windows drop it there).
void AfxAddWindowDestroyedHook(std::function<void(HWND)> fnHook);
