// The program's settings store: REG_SZ values below one base key, integers as
// "%d" text, every read with a default. It also imports the first-run seed
// file Prodlet.INI from the Windows directory.
#pragma once

#include "framework/CmdTarget.h"
#include "platform/Registry.h"

class CRegistrySettings : public CObject {
public:
    CRegistrySettings();
    ~CRegistrySettings() override;

    // Makes hRootKey\lpszBasePath the store's base (whether or not the key can
    // then be made), creates or opens it for writing and hands it back.
    BOOL CreateBaseKey(HKEY& hKey, DWORD& dwDisposition, HKEY hRootKey, const char* lpszBasePath);
    // Imports <Windows directory>/<application name>.INI below hKey.
    void ImportIniFile(HKEY hKey);

    // Reads up to 259 characters; a longer value, a value of another type or
    // a text that does not begin with a decimal number (after blanks and a
    // sign) gives nDefault.
    int ReadInt(const char* lpszSection, const char* lpszEntry, int nDefault);
    BOOL WriteInt(const char* lpszSection, const char* lpszEntry, int nValue);
    CString ReadString(const char* lpszSection, const char* lpszEntry, const char* lpszDefault);
    BOOL WriteString(const char* lpszSection, const char* lpszEntry, const char* lpszValue);

    const CString& GetBasePath() const { return m_strBasePath; }

private:
    CString KeyPath(const char* lpszSection) const;
    BOOL QueryText(const char* lpszSection, const char* lpszEntry, CString& strValue) const;

    CString m_strBasePath;
    HKEY m_hRootKey;
};

// The one store of the running program, owned by the application object.
// Parts of the program that are not the application reach it here.
CRegistrySettings* GetAppSettings();
void SetAppSettings(CRegistrySettings* pSettings);
