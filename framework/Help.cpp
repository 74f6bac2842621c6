// Help: the application's help file, found beside the program as installed,
// opened by the desktop's opener; the frame's help commands.
#include "framework/Resources.h"
#include "framework/Shell.h"
#include "framework/WinApp.h"

#include <filesystem>
#include <system_error>

namespace {
constexpr UINT kIdpFailedToLaunchHelp = 0xF107;
}

#ifndef AFX_DOCDIR_FROM_BINDIR
#define AFX_DOCDIR_FROM_BINDIR "../share/doc"
#endif

// <program folder>/../share/doc/<program name>/manual/index.html: where the
// installed tree keeps a program's manual, and where the build tree keeps a
// copy beside bin/. Empty when the program's own path is unknown.
CString AfxDefaultHelpFilePath()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty())
        return CString();
    const std::filesystem::path help =
        exe.parent_path() / AFX_DOCDIR_FROM_BINDIR / exe.filename() / "manual" / "index.html";
    return help.lexically_normal().string();
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
