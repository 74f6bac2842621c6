// The program's settings store: REG_SZ values below one base key, integers as
// "%d" text, every read with a default. It also imports the first-run seed
// file Prodlet.INI from the Windows directory.
#pragma once

#include "framework/CmdTarget.h"
#include "platform/Registry.h"

#include <functional>
#include <utility>
#include <vector>

class CRegistrySettings : public CObject {
public:
    CRegistrySettings();
    ~CRegistrySettings() override;
    CRegistrySettings(const CRegistrySettings&) = delete;
    CRegistrySettings& operator=(const CRegistrySettings&) = delete;

    // Makes hRootKey\lpszBasePath the store's base (whether or not the key can
    // then be made), creates or opens it for writing and hands it back.
    // A key that is new reaches the file only together with what
    // ImportIniFile puts below it, in one write: a run that ends before the
    // import is done leaves no key, so the next run imports the whole file.
    // (Without an import the new key is written at the store's next use.)
    BOOL CreateBaseKey(HKEY& hKey, DWORD& dwDisposition, HKEY hRootKey, const char* lpszBasePath);
    // Imports <Windows directory>/<application name>.INI below hKey: every
    // line read whole, whatever its length, and all of it written at once.
    void ImportIniFile(HKEY hKey);

    // A value of another type, or a text that does not begin with a decimal
    // number (after blanks and a sign), gives nDefault.
    int ReadInt(const char* lpszSection, const char* lpszEntry, int nDefault);
    BOOL WriteInt(const char* lpszSection, const char* lpszEntry, int nValue);
    // The whole stored text, whatever its length.
    CString ReadString(const char* lpszSection, const char* lpszEntry, const char* lpszDefault);
    BOOL WriteString(const char* lpszSection, const char* lpszEntry, const char* lpszValue);
    // Stores several values of one section, in their order, with one pass in
    // memory and at most one write of the file (none if every value already
    // holds its text). TRUE if all of them were stored.
    BOOL WriteStrings(const char* lpszSection, const std::vector<std::pair<CString, CString>>& values);

    const CString& GetBasePath() const { return m_strBasePath; }

private:
    CString KeyPath(const char* lpszSection) const;
    BOOL QueryText(const char* lpszSection, const char* lpszEntry, CString& strValue);
    void ImportLines(HKEY hKey);
    void CommitPendingKey();

    CString m_strBasePath;
    HKEY m_hRootKey;
    HANDLE m_hPendingKey = 0;  // the transaction that holds a new base key until the import
};

// The one store of the running program, owned by the application object.
// Parts of the program that are not the application reach it here.
CRegistrySettings* GetAppSettings();
void SetAppSettings(CRegistrySettings* pSettings);

// A store that cannot write (a read-only folder, a full disk, a folder where
// the file should be) tells the user once per run, through the reporter:
// the file's name and the system's reason. Without a reporter the text of
// SettingsFailureText goes to standard error as one line. Installing a
// reporter (or none) starts the count afresh.
using SettingsFailureReporter = std::function<void(const CString& strFile, const CString& strReason)>;
void SetSettingsFailureReporter(SettingsFailureReporter fnReport);
CString SettingsFailureText(const CString& strFile, const CString& strReason);
