// Help: the application's help file, found beside the program as installed,
// opened by the desktop's opener; the frame's help commands.
#include "framework/Resources.h"
#include "framework/Shell.h"
#include "framework/System.h"
#include "framework/WinApp.h"

#include <filesystem>

namespace {
constexpr UINT kIdpFailedToLaunchHelp = 0xF107;
}

// Where the installed tree keeps a program's manual, seen from the program's
// folder, "{program}" standing for the program's file name: set by CMake
// (on Linux ../share/doc/{program}/manual/index.html, where the build tree
// keeps a copy beside bin/ too; on Windows manual/index.html beside the .exe).
#ifndef AFX_HELP_FROM_BINDIR
#define AFX_HELP_FROM_BINDIR "../share/doc/{program}/manual/index.html"
#endif

// The manual as installed. Empty when the program's own path is unknown.
CString AfxDefaultHelpFilePath()
{
    const std::filesystem::path exe(AfxProgramPath());
    if (exe.empty())
        return CString();
    std::string strRelative = AFX_HELP_FROM_BINDIR;
    if (const std::size_t nAt = strRelative.find("{program}"); nAt != std::string::npos)
        strRelative.replace(nAt, 9, exe.filename().string());
    return (exe.parent_path() / strRelative).lexically_normal().string();
}

void CWinApp::WinHelp(DWORD /*dwData*/, UINT /*nCmd*/)
{
    const CString& strPath = m_pszHelpFilePath;
    if (!strPath.empty() &&
        reinterpret_cast<std::intptr_t>(ShellExecute(nullptr, "open", strPath.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32)
        return;
    CString strText;
    if (!AfxLoadString(kIdpFailedToLaunchHelp, strText))
        strText = "The help file could not be opened:\n%1";
    if (const std::size_t nAt = strText.find("%1"); nAt != CString::npos)
        strText.replace(nAt, 2, strPath);
    AfxMessageBox(strText, MB_OK | MB_ICONEXCLAMATION);
}

void CFrameWnd::OnHelpFinder()
{
    if (CWinApp* pApp = AfxGetApp())
        pApp->WinHelp(0, HELP_FINDER);
}

void CFrameWnd::OnHelp() { OnHelpFinder(); }

void CFrameWnd::OnContextHelp() { OnHelpFinder(); }
