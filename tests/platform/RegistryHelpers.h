// Small helpers for the registry tests: whole values written and read by path.
#pragma once

#include "platform/Registry.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

inline LONG SetText(HKEY hKey, const char* pszName, const CString& strText)
{
    return RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(strText.c_str()),
                          static_cast<DWORD>(strText.size() + 1));
}

inline LONG QueryText(HKEY hKey, const char* pszName, CString& strText)
{
    char szBuf[4096];
    DWORD cb = sizeof(szBuf);
    DWORD dwType = REG_NONE;
    const LONG lResult = RegQueryValueExA(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(szBuf), &cb);
    if (lResult == ERROR_SUCCESS) {
        EXPECT_EQ(dwType, REG_SZ);
        EXPECT_EQ(szBuf[cb - 1], '\0');
        strText.assign(szBuf, cb - 1);
    }
    return lResult;
}

inline HKEY Create(const char* pszPath, DWORD* pdwDisposition = nullptr)
{
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, pszPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                              &hKey, &dwDisposition),
              ERROR_SUCCESS);
    if (pdwDisposition)
        *pdwDisposition = dwDisposition;
    return hKey;
}

// The value's text, "<missing>", or "<no key>" when the key cannot be opened.
inline CString Read(const char* pszPath, const char* pszName)
{
    HKEY hKey = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszPath, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return "<no key>";
    CString strText;
    const LONG lResult = QueryText(hKey, pszName, strText);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS ? strText : "<missing>";
}

// TRUE if the value was stored; a key that cannot be made is a failure, not
// a test error (some tests expect writes to fail).
inline BOOL Write(const char* pszPath, const char* pszName, const CString& strText)
{
    HKEY hKey = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, pszPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &hKey,
                        nullptr) != ERROR_SUCCESS)
        return FALSE;
    const LONG lResult = SetText(hKey, pszName, strText);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

// Puts new text in the hive's place the way another program would: a new
// file renamed over the old one.
inline void ReplaceHiveFile(const CScopedPlatformFiles& files, const std::string& strText)
{
    files.Dir().Write("replacement.tmp", strText);
    std::rename(files.Dir().File("replacement.tmp").c_str(), files.HivePath().c_str());
}
