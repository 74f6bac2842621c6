// Handing a web address, a mailto: address or a file to the desktop's opener,
// and the default beep.
#include "framework/Port.h"
#include "framework/Shell.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

struct CShellHooks {
    AfxShellExecuteHook openHook;
    AfxMessageBeepHook beepHook;
};

// Made once and never destroyed, like every global of the framework.
CShellHooks& Hooks()
{
    static auto* s_pHooks = new CShellHooks;
    return *s_pHooks;
}

HINSTANCE Result(std::intptr_t nCode) { return reinterpret_cast<HINSTANCE>(nCode); }

// A scheme is a letter, then letters, digits, '+', '-' or '.', then ':'. One
// letter alone is a drive, not a scheme.
bool HasScheme(const char* psz)
{
    if (!std::isalpha(static_cast<unsigned char>(psz[0])))
        return false;
    std::size_t n = 1;
    while (std::isalnum(static_cast<unsigned char>(psz[n])) || psz[n] == '+' || psz[n] == '-' || psz[n] == '.')
        ++n;
    return psz[n] == ':' && n >= 2;
}

// file:// and the path, each byte outside the unreserved set and '/'
// percent-encoded, so spaces and non-ASCII names reach the opener intact.
// A path with a drive (C:\dir) is file:///C:/dir.
CString FileUrl(const std::filesystem::path& path)
{
    static const char s_szHex[] = "0123456789ABCDEF";
    CString strUrl = "file://";
    const CString strPath = path.generic_string();
    const bool bDrive = strPath.size() >= 2 && std::isalpha(static_cast<unsigned char>(strPath[0])) && strPath[1] == ':';
    if (bDrive)
        strUrl += '/';
    for (std::size_t i = 0; i < strPath.size(); ++i) {
        const char ch = strPath[i];
        const auto by = static_cast<unsigned char>(ch);
        if (std::isalnum(by) || std::strchr("/-._~", ch) != nullptr || (bDrive && i == 1)) {
            strUrl += ch;
        } else {
            strUrl += '%';
            strUrl += s_szHex[by >> 4];
            strUrl += s_szHex[by & 0x0F];
        }
    }
    return strUrl;
}

}  // namespace

HINSTANCE ShellExecute(HWND /*hWnd*/, const char* pszOperation, const char* pszFile, const char* /*pszParameters*/,
                       const char* pszDirectory, int /*nShowCmd*/)
{
    // "open" is the one verb every desktop has; edit, print and explore are not offered.
    if (pszOperation != nullptr && *pszOperation != '\0' && std::strcmp(pszOperation, "open") != 0)
        return Result(SE_ERR_NOASSOC);
    if (pszFile == nullptr || *pszFile == '\0')
        return Result(SE_ERR_FNF);

    CString strUrl;
    if (HasScheme(pszFile)) {
        strUrl = pszFile;
    } else {
        std::filesystem::path path(pszFile);
        if (path.is_relative() && pszDirectory != nullptr && *pszDirectory != '\0')
            path = std::filesystem::path(pszDirectory) / path;
        std::error_code ec;
        path = std::filesystem::absolute(path, ec).lexically_normal();
        // The opener would only say later, and to nobody, that it is missing.
        if (ec || !std::filesystem::exists(path, ec))
            return Result(SE_ERR_FNF);
        strUrl = FileUrl(path);
    }

    BOOL bTaken = FALSE;
    if (Hooks().openHook)
        bTaken = Hooks().openHook(strUrl);
    else if (AfxHasPort())
        bTaken = AfxPort().OpenUrl(strUrl);
    return Result(bTaken ? 42 : SE_ERR_NOASSOC);
}

void AfxSetShellExecuteHook(AfxShellExecuteHook hook) { Hooks().openHook = std::move(hook); }

BOOL MessageBeep(UINT uType)
{
    if (Hooks().beepHook)
        Hooks().beepHook(uType);
    else if (AfxHasPort())
        AfxPort().Beep();
    return TRUE;
}

void AfxSetMessageBeepHook(AfxMessageBeepHook hook) { Hooks().beepHook = std::move(hook); }
