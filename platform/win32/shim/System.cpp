// advapi32's registry, the Windows directory, the clock and the session's
// named mutex: the real calls behind platform/win32/shim/Win32System.h.
#include "platform/win32/shim/Win32System.h"

#include <windows.h>

#include <functional>

namespace w32sys {

std::uintptr_t RootKey(Root root)
{
    return reinterpret_cast<std::uintptr_t>(root == Root::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER);
}

static HKEY K(std::uintptr_t h) { return reinterpret_cast<HKEY>(h); }

long CreateKey(std::uintptr_t hParent, const char* pszSubKey, unsigned nAccess, std::uintptr_t& hKey,
               unsigned& nDisposition)
{
    HKEY hResult = nullptr;
    DWORD dwDisposition = 0;
    const LONG lResult = ::RegCreateKeyExA(K(hParent), pszSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, nAccess,
                                           nullptr, &hResult, &dwDisposition);
    hKey = reinterpret_cast<std::uintptr_t>(hResult);
    nDisposition = dwDisposition;
    return lResult;
}

long OpenKey(std::uintptr_t hParent, const char* pszSubKey, unsigned nAccess, std::uintptr_t& hKey)
{
    HKEY hResult = nullptr;
    const LONG lResult = ::RegOpenKeyExA(K(hParent), pszSubKey, 0, nAccess, &hResult);
    hKey = reinterpret_cast<std::uintptr_t>(hResult);
    return lResult;
}

long QueryValue(std::uintptr_t hKey, const char* pszName, unsigned& nType, std::string& strData)
{
    DWORD dwType = 0, cbData = 0;
    LONG lResult = ::RegQueryValueExA(K(hKey), pszName, nullptr, &dwType, nullptr, &cbData);
    for (int nTry = 0; nTry < 4 && lResult == ERROR_SUCCESS; ++nTry) {
        std::string strBuffer(cbData + 1, '\0');
        DWORD cbGot = cbData;
        lResult = ::RegQueryValueExA(K(hKey), pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(strBuffer.data()),
                                     &cbGot);
        if (lResult == ERROR_MORE_DATA) {
            cbData = cbGot;  // it grew meanwhile
            lResult = ERROR_SUCCESS;
            continue;
        }
        if (lResult == ERROR_SUCCESS) {
            strBuffer.resize(cbGot);
            // The stored text may or may not end with its NUL.
            const std::size_t nNul = strBuffer.find('\0');
            if (nNul != std::string::npos)
                strBuffer.resize(nNul);
            strData = strBuffer;
        }
        break;
    }
    nType = dwType;
    return lResult;
}

long SetString(std::uintptr_t hKey, const char* pszName, const std::string& strText)
{
    return ::RegSetValueExA(K(hKey), pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(strText.c_str()),
                            static_cast<DWORD>(strText.size() + 1));
}

long CloseKey(std::uintptr_t hKey) { return ::RegCloseKey(K(hKey)); }

long DeleteTree(std::uintptr_t hParent, const char* pszSubKey)
{
    LONG lResult = ::RegDeleteTreeA(K(hParent), pszSubKey);
    if (lResult == ERROR_SUCCESS)
        lResult = ::RegDeleteKeyA(K(hParent), pszSubKey);
    return lResult == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : lResult;
}

std::vector<KeyDump> DumpTree(std::uintptr_t hRoot)
{
    std::vector<KeyDump> dump;
    std::function<void(HKEY, const std::string&)> walk = [&](HKEY hKey, const std::string& strPath) {
        KeyDump entry;
        entry.strPath = strPath;
        for (DWORD i = 0;; ++i) {
            char szName[16384];
            DWORD cchName = sizeof(szName);
            DWORD dwType = 0;
            if (::RegEnumValueA(hKey, i, szName, &cchName, nullptr, &dwType, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            unsigned nType = 0;
            std::string strData;
            if (dwType == REG_SZ && QueryValue(reinterpret_cast<std::uintptr_t>(hKey), szName, nType, strData) == 0)
                entry.values.emplace_back(szName, strData);
        }
        dump.push_back(entry);
        for (DWORD i = 0;; ++i) {
            char szName[256];
            DWORD cchName = sizeof(szName);
            if (::RegEnumKeyExA(hKey, i, szName, &cchName, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            HKEY hSub = nullptr;
            if (::RegOpenKeyExA(hKey, szName, 0, KEY_READ, &hSub) == ERROR_SUCCESS) {
                walk(hSub, strPath.empty() ? std::string(szName) : strPath + "\\" + szName);
                ::RegCloseKey(hSub);
            }
        }
    };
    walk(K(hRoot), "");
    return dump;
}

unsigned WindowsDirectory(char* pszBuffer, unsigned nSize) { return ::GetWindowsDirectoryA(pszBuffer, nSize); }

unsigned long TickCount() { return ::GetTickCount(); }

void Sleep(unsigned long nMs) { ::Sleep(nMs); }

bool LocalTime(std::time_t t, std::tm& tmOut) { return ::localtime_s(&tmOut, &t) == 0; }

unsigned long ProcessId() { return ::GetCurrentProcessId(); }

bool ClaimSession(const std::string& strName, std::uintptr_t& hMutex)
{
    HANDLE h = ::CreateMutexA(nullptr, TRUE, strName.c_str());
    const DWORD dwError = ::GetLastError();
    if (h == nullptr) {
        hMutex = 0;
        return dwError != ERROR_ACCESS_DENIED;  // another user's copy would hold it so: not ours to stop
    }
    if (dwError == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(h);
        hMutex = 0;
        return false;
    }
    hMutex = reinterpret_cast<std::uintptr_t>(h);
    return true;
}

void ReleaseSession(std::uintptr_t hMutex)
{
    if (hMutex == 0)
        return;
    ::ReleaseMutex(reinterpret_cast<HANDLE>(hMutex));
    ::CloseHandle(reinterpret_cast<HANDLE>(hMutex));
}

int AskRunningCopy(const std::string& strFrameClass, int nTimeoutMs)
{
    const UINT nRestore = ::RegisterWindowMessageA((strFrameClass + ".Restore").c_str());
    const DWORD dwStart = ::GetTickCount();
    for (;;) {
        // The running copy may still be starting: no frame yet, or not yet
        // able to show it.
        if (HWND hFrame = ::FindWindowA(strFrameClass.c_str(), nullptr)) {
            // It may bring its window forward: we are the foreground process.
            DWORD dwProcess = 0;
            ::GetWindowThreadProcessId(hFrame, &dwProcess);
            ::AllowSetForegroundWindow(dwProcess);
            DWORD_PTR dwAnswer = 0;
            if (::SendMessageTimeoutA(hFrame, nRestore, 0, 0, SMTO_ABORTIFHUNG, 5000, &dwAnswer) && dwAnswer == 1)
                return 1;
        }
        if (static_cast<int>(::GetTickCount() - dwStart) >= nTimeoutMs)
            return 0;
        ::Sleep(100);
    }
}

}  // namespace w32sys
