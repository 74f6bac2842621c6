// The settings store under test: a private hive and Windows directory, and
// start-up done as the application does it.
#pragma once

#include "settings/RegistrySettings.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

inline const char s_szBase[] = "Software\\Quorvane Software\\Prodlet";
inline const char s_szSettings[] = "Software\\Quorvane Software\\Prodlet\\Settings";

// The value's text as the registry has it, or "<missing>".
inline CString Raw(const CString& strPath, const char* pszName)
{
    HKEY hKey = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, strPath.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return "<no key>";
    char szBuf[2048];
    DWORD cb = sizeof(szBuf);
    const LONG lResult = RegQueryValueExA(hKey, pszName, nullptr, nullptr, reinterpret_cast<BYTE*>(szBuf), &cb);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS ? CString(szBuf, cb - 1) : CString("<missing>");
}

inline BOOL KeyExists(const CString& strPath)
{
    HKEY hKey = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, strPath.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return FALSE;
    RegCloseKey(hKey);
    return TRUE;
}

class SettingsStore : public testing::Test {
protected:
    // What application start-up does: make the base key, import on its first run.
    DWORD StartUp()
    {
        HKEY hKey = 0;
        DWORD dwDisposition = 0;
        if (!m_store.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, s_szBase))
            return 0;
        if (dwDisposition == REG_CREATED_NEW_KEY)
            m_store.ImportIniFile(hKey);
        RegCloseKey(hKey);
        return dwDisposition;
    }
    void WriteIni(const CString& strText) { m_files.Dir().Write("Prodlet.INI", strText); }

    CScopedPlatformFiles m_files;
    CRegistrySettings m_store;
};

