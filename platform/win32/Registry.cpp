// The registry on Windows: our Reg... calls (platform/Registry.h) over the
// real advapi32 keys below HKEY_LOCAL_MACHINE, with two things of our own:
//
// - A standard user cannot write below HKEY_LOCAL_MACHINE. Where a key below
//   it cannot be created or opened for writing, the rest of the run uses the
//   same path below HKEY_CURRENT_USER instead (reads, writes and the
//   first-run import alike), so that settings survive a run; HKLM is kept
//   wherever it can be written.
// - Transactions (CreateTransaction and the keys made with one) keep their
//   changes in memory, seen through their own keys, until the commit writes
//   them in the order they were made. Nothing of a transaction that is
//   closed without a commit, or whose process dies first, reaches the
//   registry.
//
// Our keys are handles of our own that remember the path; each call opens
// the real key for just as long as it needs it.
#include "platform/Registry.h"
#include "platform/win32/RegistryTesting.h"
#include "platform/win32/shim/Win32System.h"

#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace {

struct OPEN_KEY {
    CString strPath;  // below the root, without a leading backslash
    BOOL bUser;       // below HKEY_CURRENT_USER (the fallback) rather than HKEY_LOCAL_MACHINE
    DWORD dwAccess;
    HANDLE hTransaction;
};

struct TRANSACTION_OP {
    BOOL bUser;
    CString strPath;
    BOOL bValue;  // FALSE: create the key
    CString strName;
    CString strText;
};

struct TRANSACTION {
    BOOL bActive = TRUE;
    std::vector<TRANSACTION_OP> ops;
    std::set<CString> keys;                // folded paths the transaction made
    std::map<CString, CString> values;     // folded path "\n" folded name -> text
};

struct LAST_ERROR {
    BOOL bSet = FALSE;
    CString strKey;
    LONG lError = 0;
};

std::mutex& s_mutex = *new std::mutex;
std::map<HKEY, OPEN_KEY>& s_openKeys = *new std::map<HKEY, OPEN_KEY>;
HKEY s_hNextKey = 0x1000;  // never reused, so a closed handle stays invalid
std::map<HANDLE, TRANSACTION>& s_transactions = *new std::map<HANDLE, TRANSACTION>;
HANDLE s_hNextTransaction = 0x7000;
BOOL s_bUserFallback = FALSE;
BOOL s_bFailMachineWrites = FALSE;
CString& s_strRedirect = *new CString;  // tests: both roots below HKCU\<this>
CString& s_strWinDirOverride = *new CString;
thread_local LAST_ERROR t_lastError;

constexpr DWORD kWriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

CString Fold(const CString& str)
{
    CString strOut = str;
    for (char& ch : strOut)
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 'a' + 'A');
    return strOut;
}

CString Join(const CString& strParent, const CString& strSub)
{
    // "a\\\\b\\" and the like: empty parts go, as in the registry's own names.
    CString strOut;
    for (const CString* pPart : {&strParent, &strSub}) {
        size_t nStart = 0;
        while (nStart <= pPart->size()) {
            size_t nEnd = pPart->find('\\', nStart);
            if (nEnd == CString::npos)
                nEnd = pPart->size();
            if (nEnd > nStart) {
                if (!strOut.empty())
                    strOut += '\\';
                strOut += pPart->substr(nStart, nEnd - nStart);
            }
            nStart = nEnd + 1;
        }
    }
    return strOut;
}

BOOL HasControlChar(const CString& str)
{
    for (char ch : str)
        if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t')
            return TRUE;
    return FALSE;
}

// The real root and the path of ours below it.
std::uintptr_t NativeRoot(BOOL bUser, const CString& strPath, CString& strNative)
{
    if (!s_strRedirect.empty()) {
        strNative = Join(s_strRedirect + (bUser ? "\\User" : "\\Machine"), strPath);
        return w32sys::RootKey(w32sys::Root::CurrentUser);
    }
    strNative = strPath;
    return w32sys::RootKey(bUser ? w32sys::Root::CurrentUser : w32sys::Root::LocalMachine);
}

CString RootName(BOOL bUser) { return bUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE"; }

LONG Failed(BOOL bUser, const CString& strPath, LONG lError)
{
    t_lastError = LAST_ERROR{TRUE, Join(RootName(bUser), strPath), lError};
    return lError;
}

LONG NativeOpen(BOOL bUser, const CString& strPath, DWORD dwAccess, std::uintptr_t& hNative)
{
    hNative = 0;
    if (!bUser && s_bFailMachineWrites && (dwAccess & kWriteAccess))
        return ERROR_ACCESS_DENIED;
    CString strNative;
    const std::uintptr_t hRoot = NativeRoot(bUser, strPath, strNative);
    if (strNative.empty()) {
        hNative = hRoot;
        return ERROR_SUCCESS;
    }
    return w32sys::OpenKey(hRoot, strNative.c_str(), dwAccess, hNative);
}

LONG NativeCreate(BOOL bUser, const CString& strPath, DWORD dwAccess, BOOL& bCreated)
{
    bCreated = FALSE;
    if (!bUser && s_bFailMachineWrites)
        return ERROR_ACCESS_DENIED;
    CString strNative;
    const std::uintptr_t hRoot = NativeRoot(bUser, strPath, strNative);
    std::uintptr_t hKey = 0;
    unsigned nDisposition = 0;
    const LONG lResult = w32sys::CreateKey(hRoot, strNative.c_str(), dwAccess, hKey, nDisposition);
    if (lResult == ERROR_SUCCESS) {
        bCreated = nDisposition == REG_CREATED_NEW_KEY;
        w32sys::CloseKey(hKey);
    }
    return lResult;
}

void NativeClose(std::uintptr_t hNative, BOOL bUser)
{
    if (hNative != 0 && hNative != w32sys::RootKey(w32sys::Root::LocalMachine) &&
        hNative != w32sys::RootKey(w32sys::Root::CurrentUser))
        w32sys::CloseKey(hNative);
    (void)bUser;
}

BOOL NativeExists(BOOL bUser, const CString& strPath)
{
    std::uintptr_t hKey = 0;
    if (NativeOpen(bUser, strPath, KEY_READ, hKey) != ERROR_SUCCESS)
        return FALSE;
    NativeClose(hKey, bUser);
    return TRUE;
}

// Could a key be created at strPath (or, if it exists, be written)? Asks
// the deepest key that exists on the way for what the creation needs.
LONG CheckWritable(BOOL bUser, const CString& strPath)
{
    if (!bUser && s_bFailMachineWrites)
        return ERROR_ACCESS_DENIED;
    CString strNative;
    const std::uintptr_t hRoot = NativeRoot(bUser, strPath, strNative);
    DWORD dwAccess = KEY_WRITE;
    for (;;) {
        if (strNative.empty())
            return ERROR_SUCCESS;  // the root itself
        std::uintptr_t hKey = 0;
        const LONG lResult = w32sys::OpenKey(hRoot, strNative.c_str(), dwAccess, hKey);
        if (lResult == ERROR_SUCCESS) {
            w32sys::CloseKey(hKey);
            return ERROR_SUCCESS;
        }
        if (lResult != ERROR_FILE_NOT_FOUND)
            return lResult;
        const size_t nSlash = strNative.rfind('\\');
        strNative = nSlash == CString::npos ? CString() : strNative.substr(0, nSlash);
        dwAccess = KEY_CREATE_SUB_KEY;
    }
}

BOOL LookUpKey(HKEY hKey, OPEN_KEY& key)
{
    if (hKey == HKEY_LOCAL_MACHINE) {
        key = OPEN_KEY{CString(), s_bUserFallback, KEY_READ | KEY_WRITE, 0};
        return TRUE;
    }
    const auto it = s_openKeys.find(hKey);
    if (it == s_openKeys.end())
        return FALSE;
    key = it->second;
    return TRUE;
}

HKEY AddOpenKey(const CString& strPath, BOOL bUser, DWORD dwAccess, HANDLE hTransaction)
{
    const HKEY hKey = s_hNextKey++;
    s_openKeys[hKey] = OPEN_KEY{strPath, bUser, dwAccess, hTransaction};
    return hKey;
}

TRANSACTION* KeyTransaction(HANDLE hTransaction, LONG& lResult)
{
    lResult = ERROR_SUCCESS;
    if (!hTransaction)
        return nullptr;
    const auto it = s_transactions.find(hTransaction);
    if (it == s_transactions.end() || !it->second.bActive) {
        lResult = ERROR_TRANSACTION_NOT_ACTIVE;
        return nullptr;
    }
    return &it->second;
}

CString ValueSlot(BOOL bUser, const CString& strPath, const CString& strName)
{
    return (bUser ? "U" : "M") + Fold(strPath) + '\n' + Fold(strName);
}

BOOL TransactionHasKey(const TRANSACTION* pTrans, BOOL bUser, const CString& strPath)
{
    return pTrans != nullptr && pTrans->keys.count((bUser ? "U" : "M") + Fold(strPath)) != 0;
}

LONG CreateOrOpenKey(HKEY hKey, const char* lpSubKey, DWORD samDesired, HKEY* phkResult, DWORD* lpdwDisposition,
                     BOOL bCreate, HANDLE hTransaction)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = 0;
    t_lastError = LAST_ERROR{};
    OPEN_KEY parent;
    if (!LookUpKey(hKey, parent))
        return ERROR_INVALID_HANDLE;
    if (!hTransaction)
        hTransaction = parent.hTransaction;
    LONG lResult = ERROR_SUCCESS;
    TRANSACTION* pTrans = KeyTransaction(hTransaction, lResult);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    const CString strSubKey = lpSubKey ? lpSubKey : "";
    if (HasControlChar(strSubKey))
        return bCreate ? ERROR_INVALID_PARAMETER : ERROR_FILE_NOT_FOUND;
    const CString strPath = Join(parent.strPath, strSubKey);
    if (bCreate && !strPath.empty() && !(parent.dwAccess & KEY_CREATE_SUB_KEY) &&
        !NativeExists(parent.bUser, strPath) && !TransactionHasKey(pTrans, parent.bUser, strPath))
        return ERROR_ACCESS_DENIED;

    // A key wanted for writing straight below the machine root, which a
    // standard user may not write: the run goes on below the user's root.
    const BOOL bWrite = (samDesired & kWriteAccess) != 0;
    const BOOL bMayFallBack = hKey == HKEY_LOCAL_MACHINE && !parent.bUser && bWrite;
    BOOL bUser = parent.bUser;
    BOOL bCreated = FALSE;
    for (int nTry = 0; nTry < 2; ++nTry) {
        bCreated = FALSE;
        if (pTrans != nullptr) {
            const BOOL bExists = NativeExists(bUser, strPath) || TransactionHasKey(pTrans, bUser, strPath);
            if (!bExists && !bCreate)
                lResult = ERROR_FILE_NOT_FOUND;
            else
                lResult = bWrite || !bExists ? CheckWritable(bUser, strPath) : ERROR_SUCCESS;
            if (lResult == ERROR_SUCCESS && !bExists) {
                pTrans->ops.push_back(TRANSACTION_OP{bUser, strPath, FALSE, CString(), CString()});
                const CString strFolded = Fold(strPath);
                for (size_t nPos = 0; nPos != CString::npos;) {
                    nPos = strFolded.find('\\', nPos + 1);
                    pTrans->keys.insert((bUser ? "U" : "M") + strFolded.substr(0, nPos));
                }
                bCreated = TRUE;
            }
        } else if (bCreate) {
            lResult = NativeCreate(bUser, strPath, samDesired, bCreated);
        } else {
            std::uintptr_t hNative = 0;
            lResult = NativeOpen(bUser, strPath, samDesired, hNative);
            NativeClose(hNative, bUser);
        }
        if (lResult == ERROR_SUCCESS || !bMayFallBack || bUser || lResult == ERROR_FILE_NOT_FOUND)
            break;
        s_bUserFallback = TRUE;
        bUser = TRUE;
    }
    if (lResult != ERROR_SUCCESS)
        return lResult == ERROR_FILE_NOT_FOUND ? lResult : Failed(bUser, strPath, lResult);
    *phkResult = AddOpenKey(strPath, bUser, samDesired, hTransaction);
    if (lpdwDisposition)
        *lpdwDisposition = bCreated ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG CopyOut(const CString& strText, DWORD* lpType, BYTE* lpData, DWORD* lpcbData)
{
    if (lpType)
        *lpType = REG_SZ;
    const DWORD cbNeeded = static_cast<DWORD>(strText.size() + 1);
    if (!lpcbData)
        return ERROR_SUCCESS;
    if (!lpData) {
        *lpcbData = cbNeeded;
        return ERROR_SUCCESS;
    }
    if (*lpcbData < cbNeeded) {
        *lpcbData = cbNeeded;
        return ERROR_MORE_DATA;
    }
    std::memcpy(lpData, strText.c_str(), cbNeeded);
    *lpcbData = cbNeeded;
    return ERROR_SUCCESS;
}

}  // namespace

LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD /*Reserved*/, const char* /*lpClass*/,
                     DWORD /*dwOptions*/, DWORD samDesired, void* /*lpSecurityAttributes*/, HKEY* phkResult,
                     DWORD* lpdwDisposition)
{
    std::lock_guard lock(s_mutex);
    return CreateOrOpenKey(hKey, lpSubKey, samDesired, phkResult, lpdwDisposition, TRUE, 0);
}

LONG RegCreateKeyTransactedA(HKEY hKey, const char* lpSubKey, DWORD /*Reserved*/, const char* /*lpClass*/,
                             DWORD /*dwOptions*/, DWORD samDesired, void* /*lpSecurityAttributes*/, HKEY* phkResult,
                             DWORD* lpdwDisposition, HANDLE hTransaction, void* /*pExtendedParameter*/)
{
    std::lock_guard lock(s_mutex);
    if (!hTransaction) {
        if (phkResult)
            *phkResult = 0;
        return ERROR_TRANSACTION_NOT_ACTIVE;
    }
    return CreateOrOpenKey(hKey, lpSubKey, samDesired, phkResult, lpdwDisposition, TRUE, hTransaction);
}

LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD /*ulOptions*/, DWORD samDesired, HKEY* phkResult)
{
    std::lock_guard lock(s_mutex);
    return CreateOrOpenKey(hKey, lpSubKey, samDesired, phkResult, nullptr, FALSE, 0);
}

LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* /*lpReserved*/, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData)
{
    std::lock_guard lock(s_mutex);
    t_lastError = LAST_ERROR{};
    OPEN_KEY key;
    if (!LookUpKey(hKey, key))
        return ERROR_INVALID_HANDLE;
    if (!(key.dwAccess & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    if (lpData && !lpcbData)
        return ERROR_INVALID_PARAMETER;
    LONG lResult = ERROR_SUCCESS;
    const TRANSACTION* pTrans = KeyTransaction(key.hTransaction, lResult);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    const CString strName = lpValueName ? lpValueName : "";
    if (pTrans) {
        const auto it = pTrans->values.find(ValueSlot(key.bUser, key.strPath, strName));
        if (it != pTrans->values.end())
            return CopyOut(it->second, lpType, lpData, lpcbData);
    }
    std::uintptr_t hNative = 0;
    lResult = NativeOpen(key.bUser, key.strPath, KEY_QUERY_VALUE, hNative);
    if (lResult != ERROR_SUCCESS)
        return lResult == ERROR_FILE_NOT_FOUND ? lResult : Failed(key.bUser, key.strPath, lResult);
    unsigned nType = 0;
    CString strText;
    lResult = w32sys::QueryValue(hNative, strName.c_str(), nType, strText);
    NativeClose(hNative, key.bUser);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    // Only REG_SZ is ours; a value of another type reads as missing.
    if (nType != REG_SZ)
        return ERROR_FILE_NOT_FOUND;
    return CopyOut(strText, lpType, lpData, lpcbData);
}

LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD /*Reserved*/, DWORD dwType, const BYTE* lpData,
                    DWORD cbData)
{
    std::lock_guard lock(s_mutex);
    t_lastError = LAST_ERROR{};
    OPEN_KEY key;
    if (!LookUpKey(hKey, key))
        return ERROR_INVALID_HANDLE;
    if (dwType != REG_SZ || (!lpData && cbData > 0))
        return ERROR_INVALID_PARAMETER;
    if (!(key.dwAccess & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    LONG lResult = ERROR_SUCCESS;
    TRANSACTION* pTrans = KeyTransaction(key.hTransaction, lResult);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    const char* psz = reinterpret_cast<const char*>(lpData);
    const CString strText = psz ? CString(psz, strnlen(psz, cbData)) : CString();
    const CString strName = lpValueName ? lpValueName : "";
    if (pTrans) {
        pTrans->ops.push_back(TRANSACTION_OP{key.bUser, key.strPath, TRUE, strName, strText});
        pTrans->values[ValueSlot(key.bUser, key.strPath, strName)] = strText;
        return ERROR_SUCCESS;
    }
    std::uintptr_t hNative = 0;
    lResult = NativeOpen(key.bUser, key.strPath, KEY_SET_VALUE, hNative);
    if (lResult == ERROR_SUCCESS) {
        lResult = w32sys::SetString(hNative, strName.c_str(), strText);
        NativeClose(hNative, key.bUser);
    }
    return lResult == ERROR_SUCCESS ? lResult : Failed(key.bUser, key.strPath, lResult);
}

LONG RegCloseKey(HKEY hKey)
{
    std::lock_guard lock(s_mutex);
    if (hKey == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    return s_openKeys.erase(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

HANDLE CreateTransaction()
{
    std::lock_guard lock(s_mutex);
    const HANDLE hTransaction = s_hNextTransaction++;
    s_transactions[hTransaction] = TRANSACTION{};
    return hTransaction;
}

BOOL CommitTransaction(HANDLE hTransaction)
{
    std::lock_guard lock(s_mutex);
    t_lastError = LAST_ERROR{};
    LONG lResult = ERROR_SUCCESS;
    TRANSACTION* pTrans = KeyTransaction(hTransaction, lResult);
    if (!pTrans)
        return FALSE;
    pTrans->bActive = FALSE;
    for (const TRANSACTION_OP& op : pTrans->ops) {
        if (!op.bValue) {
            BOOL bCreated = FALSE;
            lResult = NativeCreate(op.bUser, op.strPath, KEY_WRITE, bCreated);
        } else {
            std::uintptr_t hNative = 0;
            lResult = NativeOpen(op.bUser, op.strPath, KEY_SET_VALUE, hNative);
            if (lResult == ERROR_SUCCESS) {
                lResult = w32sys::SetString(hNative, op.strName.c_str(), op.strText);
                NativeClose(hNative, op.bUser);
            }
        }
        if (lResult != ERROR_SUCCESS) {
            Failed(op.bUser, op.strPath, lResult);
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CloseHandle(HANDLE hObject)
{
    std::lock_guard lock(s_mutex);
    return s_transactions.erase(hObject) ? TRUE : FALSE;
}

BOOL RegGetLastFileError(CString& strFile, CString& strReason)
{
    if (!t_lastError.bSet)
        return FALSE;
    strFile = t_lastError.strKey;
    strReason = t_lastError.lError == ERROR_ACCESS_DENIED ? CString("Access is denied")
                                                           : "error " + std::to_string(t_lastError.lError);
    return TRUE;
}

CString RegGetHivePath()
{
    std::lock_guard lock(s_mutex);
    return RootName(s_bUserFallback);
}

UINT GetWindowsDirectoryA(char* lpBuffer, UINT uSize)
{
    CString strDir;
    {
        std::lock_guard lock(s_mutex);
        strDir = s_strWinDirOverride;
    }
    if (strDir.empty())
        return w32sys::WindowsDirectory(lpBuffer, uSize);
    if (!lpBuffer || uSize <= strDir.size())
        return static_cast<UINT>(strDir.size() + 1);
    std::memcpy(lpBuffer, strDir.c_str(), strDir.size() + 1);
    return static_cast<UINT>(strDir.size());
}

// ---- tests

void RegRedirectForTesting(const CString& strKeyBelowCurrentUser)
{
    std::lock_guard lock(s_mutex);
    s_strRedirect = strKeyBelowCurrentUser;
    s_bUserFallback = FALSE;
    s_bFailMachineWrites = FALSE;
}

void RegFailMachineWritesForTesting(BOOL bFail)
{
    std::lock_guard lock(s_mutex);
    s_bFailMachineWrites = bFail;
}

BOOL RegUsesCurrentUser()
{
    std::lock_guard lock(s_mutex);
    return s_bUserFallback;
}

void RegDeleteRedirectedTreeForTesting()
{
    std::lock_guard lock(s_mutex);
    if (!s_strRedirect.empty())
        w32sys::DeleteTree(w32sys::RootKey(w32sys::Root::CurrentUser), s_strRedirect.c_str());
}

CString RegExportForTesting(BOOL bUser)
{
    std::lock_guard lock(s_mutex);
    CString strNative;
    const std::uintptr_t hRoot = NativeRoot(bUser, CString(), strNative);
    std::uintptr_t hKey = hRoot;
    if (!strNative.empty() && w32sys::OpenKey(hRoot, strNative.c_str(), KEY_READ, hKey) != ERROR_SUCCESS)
        return CString();
    CString strOut = "REGEDIT4\n";
    for (const w32sys::KeyDump& dump : w32sys::DumpTree(hKey)) {
        strOut += "\n[" + Join(RootName(bUser), dump.strPath) + "]\n";
        for (const auto& [strName, strText] : dump.values)
            strOut += "\"" + strName + "\"=\"" + strText + "\"\n";
    }
    if (hKey != hRoot)
        w32sys::CloseKey(hKey);
    return strOut;
}

void SetWindowsDirectoryForTesting(const CString& strDir)
{
    std::lock_guard lock(s_mutex);
    s_strWinDirOverride = strDir;
}
