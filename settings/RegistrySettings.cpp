#include "settings/RegistrySettings.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char s_szAppName[] = "Prodlet";  // the application title; names the seed file
const DWORD s_cbValueBuffer = 260;  // enough for every value the program writes itself

CRegistrySettings* s_pAppSettings = nullptr;
SettingsFailureReporter& s_fnReportFailure = *new SettingsFailureReporter;  // never destroyed
BOOL s_bFailureReported = FALSE;

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

// Tells the user about the first failed write of the run; call it right
// after the failing registry call, which knows the file and the reason.
void ReportWriteFailure(LONG lResult)
{
    if (s_bFailureReported)
        return;
    s_bFailureReported = TRUE;
    CString strFile, strReason;
    if (!RegGetLastFileError(strFile, strReason)) {
        strFile = RegGetHivePath();
        strReason = "error " + std::to_string(lResult);
    }
    if (s_fnReportFailure)
        s_fnReportFailure(strFile, strReason);
    else
        std::fprintf(stderr, "%s\n", SettingsFailureText(strFile, strReason).c_str());
}

// Reads the file line by line, each line whole whatever its length; a line
// stops at its first NUL, as the C string it is read into would. Plain C
// stdio, so that it reads the same on every system the program is built for.
class CLineReader {
public:
    explicit CLineReader(std::FILE* pFile) : m_pFile(pFile) {}

    BOOL Next(CString& strLine)
    {
        strLine.clear();
        int ch = std::getc(m_pFile);
        if (ch == EOF)
            return FALSE;
        for (; ch != EOF; ch = std::getc(m_pFile)) {
            strLine += static_cast<char>(ch);
            if (ch == '\n')
                break;
        }
        const size_t nNul = strLine.find('\0');
        if (nNul != CString::npos)
            strLine.resize(nNul);
        return TRUE;
    }

private:
    std::FILE* m_pFile;
};

}  // namespace

CRegistrySettings::CRegistrySettings() : m_hRootKey(HKEY_LOCAL_MACHINE) {}

CRegistrySettings::~CRegistrySettings() { CommitPendingKey(); }

CString CRegistrySettings::KeyPath(const char* lpszSection) const { return m_strBasePath + "\\" + lpszSection; }

void CRegistrySettings::CommitPendingKey()
{
    if (!m_hPendingKey)
        return;
    const HANDLE hTransaction = m_hPendingKey;
    m_hPendingKey = 0;
    if (!CommitTransaction(hTransaction))
        ReportWriteFailure(ERROR_WRITE_FAULT);
    CloseHandle(hTransaction);
}

BOOL CRegistrySettings::CreateBaseKey(HKEY& hKey, DWORD& dwDisposition, HKEY hRootKey, const char* lpszBasePath)
{
    CommitPendingKey();
    m_strBasePath = lpszBasePath;
    m_hRootKey = hRootKey;
    hKey = 0;
    const HANDLE hTransaction = CreateTransaction();
    LONG lResult = RegCreateKeyTransactedA(m_hRootKey, lpszBasePath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                           nullptr, &hKey, &dwDisposition, hTransaction, nullptr);
    if (lResult == ERROR_SUCCESS && dwDisposition == REG_CREATED_NEW_KEY) {
        m_hPendingKey = hTransaction;
        return TRUE;
    }
    CloseHandle(hTransaction);
    if (lResult == ERROR_SUCCESS) {
        // It exists: the caller gets a plain key, as nothing is to be written.
        RegCloseKey(hKey);
        lResult = RegCreateKeyExA(m_hRootKey, lpszBasePath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                                  &hKey, &dwDisposition);
    }
    if (lResult != ERROR_SUCCESS) {
        ReportWriteFailure(lResult);
        hKey = 0;
        return FALSE;
    }
    return TRUE;
}

void CRegistrySettings::ImportIniFile(HKEY hKey)
{
    // The import is one transaction: the values reach the file together, with
    // the new base key if there is one, or not at all.
    HANDLE hTransaction = m_hPendingKey;
    m_hPendingKey = 0;
    if (!hTransaction)
        hTransaction = CreateTransaction();
    HKEY hImport = 0;
    if (RegCreateKeyTransactedA(hKey, "", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &hImport, nullptr,
                                hTransaction, nullptr) == ERROR_SUCCESS) {
        ImportLines(hImport);
        RegCloseKey(hImport);
    }
    if (!CommitTransaction(hTransaction))
        ReportWriteFailure(ERROR_WRITE_FAULT);
    CloseHandle(hTransaction);
}

void CRegistrySettings::ImportLines(HKEY hKey)
{
    char szWinDir[260];
    const UINT nLength = GetWindowsDirectoryA(szWinDir, sizeof(szWinDir));
    if (nLength == 0 || nLength >= sizeof(szWinDir))
        return;
    const CString strFile = CString(szWinDir) + "/" + s_szAppName + ".INI";
    std::FILE* pFile = std::fopen(strFile.c_str(), "rb");
    if (!pFile)
        return;

    HKEY hSection = 0;
    BOOL bFailed = FALSE;
    CLineReader reader(pFile);
    CString strRead;
    while (!bFailed && reader.Next(strRead)) {
        const CString strLine = TrimWhite(strRead);
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

// The stored text of a value, whatever its length; a value of another type
// or a missing one reads as absent.
BOOL CRegistrySettings::QueryText(const char* lpszSection, const char* lpszEntry, CString& strValue)
{
    CommitPendingKey();
    HKEY hKey = 0;
    if (RegOpenKeyExA(m_hRootKey, KeyPath(lpszSection).c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return FALSE;
    // Most values fit the first buffer; a longer one is asked for again at its size.
    strValue.resize(s_cbValueBuffer);
    DWORD dwType = REG_NONE;
    DWORD cbValue = s_cbValueBuffer;
    LONG lResult = RegQueryValueExA(hKey, lpszEntry, nullptr, &dwType, reinterpret_cast<BYTE*>(strValue.data()),
                                    &cbValue);
    if (lResult == ERROR_MORE_DATA) {
        strValue.resize(cbValue);
        lResult = RegQueryValueExA(hKey, lpszEntry, nullptr, &dwType, reinterpret_cast<BYTE*>(strValue.data()),
                                   &cbValue);
    }
    RegCloseKey(hKey);
    if (lResult != ERROR_SUCCESS || dwType != REG_SZ || cbValue == 0)
        return FALSE;
    strValue.resize(std::strlen(strValue.c_str()));
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
    CommitPendingKey();
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    LONG lResult = RegCreateKeyExA(m_hRootKey, KeyPath(lpszSection).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_WRITE, nullptr, &hKey, &dwDisposition);
    if (lResult == ERROR_SUCCESS) {
        lResult = SetText(hKey, lpszEntry, lpszValue);
        RegCloseKey(hKey);
    }
    if (lResult != ERROR_SUCCESS)
        ReportWriteFailure(lResult);
    return lResult == ERROR_SUCCESS;
}

BOOL CRegistrySettings::WriteStrings(const char* lpszSection, const std::vector<std::pair<CString, CString>>& values)
{
    CommitPendingKey();
    const HANDLE hTransaction = CreateTransaction();
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    LONG lResult = RegCreateKeyTransactedA(m_hRootKey, KeyPath(lpszSection).c_str(), 0, nullptr,
                                           REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &hKey, &dwDisposition,
                                           hTransaction, nullptr);
    for (size_t i = 0; lResult == ERROR_SUCCESS && i < values.size(); ++i)
        lResult = SetText(hKey, values[i].first.c_str(), values[i].second.c_str());
    if (hKey)
        RegCloseKey(hKey);
    if (lResult == ERROR_SUCCESS && !CommitTransaction(hTransaction))
        lResult = ERROR_WRITE_FAULT;
    if (lResult != ERROR_SUCCESS)
        ReportWriteFailure(lResult);
    CloseHandle(hTransaction);
    return lResult == ERROR_SUCCESS;
}

CRegistrySettings* GetAppSettings() { return s_pAppSettings; }

void SetAppSettings(CRegistrySettings* pSettings) { s_pAppSettings = pSettings; }

void SetSettingsFailureReporter(SettingsFailureReporter fnReport)
{
    s_fnReportFailure = std::move(fnReport);
    s_bFailureReported = FALSE;
}

CString SettingsFailureText(const CString& strFile, const CString& strReason)
{
    return "Prodlet: Cannot save settings to " + strFile + ": " + strReason;
}
