#include "settings/RegistrySettings.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace {

const char s_szAppName[] = "Prodlet";  // the application title; names the seed file
const DWORD s_cbValueBuffer = 260;
const int s_cbIniLine = 520;

CRegistrySettings* s_pAppSettings = nullptr;

BOOL IsWhite(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f'; }

CString TrimWhite(const CString& str)
{
    size_t nBegin = 0, nEnd = str.size();
    while (nBegin < nEnd && IsWhite(str[nBegin]))
        ++nBegin;
    while (nEnd > nBegin && IsWhite(str[nEnd - 1]))
        --nEnd;
    return str.substr(nBegin, nEnd - nBegin);
}

// "%d" as scanf reads it, but by hand so that no locale has a say. A text
// with no number at its start yields nDefault; a number out of range is held
// at the nearest int.
int ParseInt(const char* psz, int nDefault)
{
    while (IsWhite(*psz))
        ++psz;
    const BOOL bNegative = *psz == '-';
    if (*psz == '-' || *psz == '+')
        ++psz;
    if (*psz < '0' || *psz > '9')
        return nDefault;
    long long llValue = 0;
    for (; *psz >= '0' && *psz <= '9'; ++psz)
        if (llValue <= INT_MAX + 1LL)
            llValue = llValue * 10 + (*psz - '0');
    if (bNegative)
        llValue = -llValue;
    if (llValue > INT_MAX)
        return INT_MAX;
    if (llValue < INT_MIN)
        return INT_MIN;
    return static_cast<int>(llValue);
}

LONG SetText(HKEY hKey, const char* pszName, const char* pszText)
{
    return RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszText),
                          static_cast<DWORD>(std::strlen(pszText) + 1));
}

}  // namespace

CRegistrySettings::CRegistrySettings() : m_hRootKey(HKEY_LOCAL_MACHINE) {}

CRegistrySettings::~CRegistrySettings() = default;

CString CRegistrySettings::KeyPath(const char* lpszSection) const { return m_strBasePath + "\\" + lpszSection; }

BOOL CRegistrySettings::CreateBaseKey(HKEY& hKey, DWORD& dwDisposition, HKEY hRootKey, const char* lpszBasePath)
{
    m_strBasePath = lpszBasePath;
    m_hRootKey = hRootKey;
    return RegCreateKeyExA(m_hRootKey, lpszBasePath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &hKey,
                           &dwDisposition) == ERROR_SUCCESS;
}

void CRegistrySettings::ImportIniFile(HKEY hKey)
{
    char szWinDir[260];
    const UINT nLength = GetWindowsDirectoryA(szWinDir, sizeof(szWinDir));
    if (nLength == 0 || nLength >= sizeof(szWinDir))
        return;
    const CString strFile = CString(szWinDir) + "/" + s_szAppName + ".INI";
    std::FILE* pFile = std::fopen(strFile.c_str(), "r");
    if (!pFile)
        return;

    HKEY hSection = 0;
    BOOL bFailed = FALSE;
    char szLine[s_cbIniLine];
    while (!bFailed && std::fgets(szLine, s_cbIniLine, pFile)) {
        const CString strLine = TrimWhite(szLine);
        const size_t nOpen = strLine.find('[');
        const size_t nClose = strLine.find(']');
        if (nOpen != CString::npos && nClose != CString::npos && nClose - nOpen == strLine.size() - 1) {
            if (hSection)
                RegCloseKey(hSection);
            hSection = 0;
            const CString strSection = TrimWhite(strLine.substr(1, strLine.size() - 2));
            DWORD dwDisposition = 0;
            if (RegCreateKeyExA(hKey, strSection.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                                &hSection, &dwDisposition) != ERROR_SUCCESS) {
                hSection = 0;
                bFailed = TRUE;
            }
            continue;
        }
        const size_t nEquals = strLine.find('=');
        if (nEquals == CString::npos || !hSection)
            continue;
        SetText(hSection, strLine.substr(0, nEquals).c_str(), strLine.c_str() + nEquals + 1);
    }
    if (hSection)
        RegCloseKey(hSection);
    std::fclose(pFile);
}

// The stored text of a value, through the 260-byte buffer of the original
// store: a longer text, a value of another type or a missing one reads as absent.
BOOL CRegistrySettings::QueryText(const char* lpszSection, const char* lpszEntry, CString& strValue) const
{
    HKEY hKey = 0;
    if (RegOpenKeyExA(m_hRootKey, KeyPath(lpszSection).c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return FALSE;
    char szValue[s_cbValueBuffer];
    DWORD dwType = REG_NONE;
    DWORD cbValue = sizeof(szValue);
    const LONG lResult = RegQueryValueExA(hKey, lpszEntry, nullptr, &dwType, reinterpret_cast<BYTE*>(szValue), &cbValue);
    RegCloseKey(hKey);
    if (lResult != ERROR_SUCCESS || dwType != REG_SZ)
        return FALSE;
    szValue[sizeof(szValue) - 1] = '\0';
    strValue = szValue;
    return TRUE;
}

int CRegistrySettings::ReadInt(const char* lpszSection, const char* lpszEntry, int nDefault)
{
    CString strValue;
    return QueryText(lpszSection, lpszEntry, strValue) ? ParseInt(strValue.c_str(), nDefault) : nDefault;
}

BOOL CRegistrySettings::WriteInt(const char* lpszSection, const char* lpszEntry, int nValue)
{
    char szValue[16];
    std::snprintf(szValue, sizeof(szValue), "%d", nValue);
    return WriteString(lpszSection, lpszEntry, szValue);
}

CString CRegistrySettings::ReadString(const char* lpszSection, const char* lpszEntry, const char* lpszDefault)
{
    CString strValue;
    return QueryText(lpszSection, lpszEntry, strValue) ? strValue : CString(lpszDefault);
}

BOOL CRegistrySettings::WriteString(const char* lpszSection, const char* lpszEntry, const char* lpszValue)
{
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    if (RegCreateKeyExA(m_hRootKey, KeyPath(lpszSection).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        nullptr, &hKey, &dwDisposition) != ERROR_SUCCESS)
        return FALSE;
    const LONG lResult = SetText(hKey, lpszEntry, lpszValue);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

CRegistrySettings* GetAppSettings() { return s_pAppSettings; }

void SetAppSettings(CRegistrySettings* pSettings) { s_pAppSettings = pSettings; }
