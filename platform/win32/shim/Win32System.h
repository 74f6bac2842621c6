// The platform's way to Windows (advapi32, kernel32, user32): plain C++, no
// Windows type, so that the platform's files keep their own names
// (RegCreateKeyExA, HKEY, GetTickCount) apart from Windows'. Only
// platform/win32/shim/*.cpp include <windows.h>. Keys cross as uintptr_t.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace w32sys {

enum class Root { LocalMachine, CurrentUser };

std::uintptr_t RootKey(Root root);
// The advapi32 calls; each returns the system's error code (0 for success).
long CreateKey(std::uintptr_t hParent, const char* pszSubKey, unsigned nAccess, std::uintptr_t& hKey,
               unsigned& nDisposition);
long OpenKey(std::uintptr_t hParent, const char* pszSubKey, unsigned nAccess, std::uintptr_t& hKey);
// REG_SZ only: the text without its NUL; nType the value's type.
long QueryValue(std::uintptr_t hKey, const char* pszName, unsigned& nType, std::string& strData);
long SetString(std::uintptr_t hKey, const char* pszName, const std::string& strText);
long CloseKey(std::uintptr_t hKey);
long DeleteTree(std::uintptr_t hParent, const char* pszSubKey);
// Every key below hKey (paths relative to it, "" first) with its REG_SZ values.
struct KeyDump {
    std::string strPath;
    std::vector<std::pair<std::string, std::string>> values;
};
std::vector<KeyDump> DumpTree(std::uintptr_t hKey);

unsigned WindowsDirectory(char* pszBuffer, unsigned nSize);

unsigned long TickCount();
void Sleep(unsigned long nMs);
bool LocalTime(std::time_t t, std::tm& tmOut);
unsigned long ProcessId();

// ---- one copy per session
// Creates the session's named mutex; false if another process holds it.
// The system lets go of it when the process ends in any way.
bool ClaimSession(const std::string& strName, std::uintptr_t& hMutex);
void ReleaseSession(std::uintptr_t hMutex);
// Asks the running copy's frame (found by its window class) to show its
// window; 1 when it did, 0 when it was not found or never answered within
// nTimeoutMs.
int AskRunningCopy(const std::string& strFrameClass, int nTimeoutMs);

}  // namespace w32sys
