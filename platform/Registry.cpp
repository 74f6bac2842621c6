// The registry calls (Registry.h) as Windows has them: the table of open
// keys, transactions with their private view, and each call's checks and
// results. The hive file itself is HiveStore's; on Windows these calls are
// the system's own.
#include "platform/Registry.h"

#include "platform/HiveFile.h"
#include "platform/HiveStore.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

namespace {

struct OPEN_KEY {
    CString strPath;
    DWORD dwAccess;
    HANDLE hTransaction;  // 0: the key acts on the file directly
};

// One change a transaction will make, in the order it was made.
struct TRANSACTION_OP {
    CString strPath;
    BOOL bValue;  // FALSE: create the key
    CString strName;
    CString strText;
};

struct TRANSACTION {
    CString strHive;  // the file the transaction will write
    BOOL bActive = TRUE;
    std::vector<TRANSACTION_OP> ops;
    std::unordered_set<CString> keys;              // folded paths made, with the keys above them
    std::unordered_map<CString, CString> values;  // folded path, "\n", folded name -> text
};

// Everything below is guarded by s_mutex; the public calls take it once.
// Made once and never destroyed, like every global of the platform.
std::mutex& s_mutex = *new std::mutex;
std::map<HKEY, OPEN_KEY>& s_openKeys = *new std::map<HKEY, OPEN_KEY>;
HKEY s_hNextKey = 0x1000;  // never reused, so a closed handle stays invalid
std::map<HANDLE, TRANSACTION>& s_transactions = *new std::map<HANDLE, TRANSACTION>;
HANDLE s_hNextTransaction = 0x7000;

BOOL LookUpKey(HKEY hKey, OPEN_KEY& key)
{
    if (hKey == HKEY_LOCAL_MACHINE) {
        key = OPEN_KEY{CString(), KEY_READ | KEY_WRITE, 0};
        return TRUE;
    }
    const auto it = s_openKeys.find(hKey);
    if (it == s_openKeys.end())
        return FALSE;
    key = it->second;
    return TRUE;
}

HKEY AddOpenKey(const CString& strPath, DWORD dwAccess, HANDLE hTransaction)
{
    const HKEY hKey = s_hNextKey++;
    s_openKeys[hKey] = OPEN_KEY{strPath, dwAccess, hTransaction};
    return hKey;
}

// The key's transaction, or null; lResult says why a key of a transaction
// that has ended cannot be used.
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

CString ValueSlot(const CString& strPath, const CString& strName)
{
    return CHiveFile::Fold(strPath) + '\n' + CHiveFile::Fold(strName);
}

// A key name must fit on its key line.
BOOL HasControlChar(const CString& str)
{
    for (char ch : str)
        if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t')
            return TRUE;
    return FALSE;
}

// Runs a public call under the mutex; an exception (out of memory) fails the
// call and drops the hive in memory, which may be half changed.
LONG Guarded(LONG lFailure, const std::function<LONG()>& fn)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    HiveClearFileError();
    try {
        return fn();
    } catch (...) {
        HiveForget();
        return lFailure;
    }
}

// The common start of creating and opening a key: the result handle cleared,
// the parent looked up, and the full path of parent\subkey.
LONG ResolveSubKey(HKEY hKey, const char* lpSubKey, HKEY* phkResult, OPEN_KEY& parent, CString& strSubKey,
                   CString& strPath)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = 0;
    if (!LookUpKey(hKey, parent))
        return ERROR_INVALID_HANDLE;
    strSubKey = lpSubKey ? lpSubKey : "";
    strPath = CHiveFile::NormalizePath(parent.strPath + "\\" + strSubKey);
    return ERROR_SUCCESS;
}

// Creates or opens a key; hTransaction is the caller's, or 0 to inherit the parent's.
LONG CreateOrOpenKey(HKEY hKey, const char* lpSubKey, DWORD samDesired, HKEY* phkResult, DWORD* lpdwDisposition,
                     BOOL bCreate, HANDLE hTransaction)
{
    OPEN_KEY parent;
    CString strSubKey, strPath;
    LONG lResult = ResolveSubKey(hKey, lpSubKey, phkResult, parent, strSubKey, strPath);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    if (!hTransaction)
        hTransaction = parent.hTransaction;
    TRANSACTION* pTrans = KeyTransaction(hTransaction, lResult);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    if (HasControlChar(strSubKey))
        return bCreate ? ERROR_INVALID_PARAMETER : ERROR_FILE_NOT_FOUND;

    const CString strHive = pTrans ? pTrans->strHive : RegGetHivePath();
    const CHiveFile* pHive = HiveCurrent(strHive, lResult);
    if (!pHive)
        return lResult;
    if (bCreate)
        HiveRemoveLeftovers(strHive);
    const BOOL bExists = pHive->KeyExists(strPath) || (pTrans && pTrans->keys.count(CHiveFile::Fold(strPath)));
    BOOL bCreated = FALSE;
    if (!bExists) {
        if (!bCreate)
            return ERROR_FILE_NOT_FOUND;
        if (!(parent.dwAccess & KEY_CREATE_SUB_KEY))
            return ERROR_ACCESS_DENIED;
        if (pTrans) {
            // Refused now if the file could never be written: no folder for it.
            if ((lResult = HiveMakeFolder(strHive)) != ERROR_SUCCESS)
                return lResult;
            pTrans->ops.push_back(TRANSACTION_OP{strPath, FALSE, CString(), CString()});
            // The key and every key above it now exist for the transaction.
            const CString strFolded = CHiveFile::Fold(strPath);
            for (size_t nPos = 0; nPos != CString::npos;) {
                nPos = strFolded.find('\\', nPos + 1);
                pTrans->keys.insert(strFolded.substr(0, nPos));
            }
            bCreated = TRUE;
        } else {
            // Another instance may have made the key meanwhile: decide under the lock.
            lResult = HiveModify(strHive, [&](CHiveFile& locked) { return bCreated = locked.CreateKey(strPath); });
            if (lResult != ERROR_SUCCESS)
                return lResult;
        }
    }
    *phkResult = AddOpenKey(strPath, samDesired, hTransaction);
    if (lpdwDisposition)
        *lpdwDisposition = bCreated ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

}  // namespace

LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD /*Reserved*/, const char* /*lpClass*/,
                     DWORD /*dwOptions*/, DWORD samDesired, void* /*lpSecurityAttributes*/, HKEY* phkResult,
                     DWORD* lpdwDisposition)
{
    return Guarded(ERROR_WRITE_FAULT, [&] {
        return CreateOrOpenKey(hKey, lpSubKey, samDesired, phkResult, lpdwDisposition, TRUE, 0);
    });
}

LONG RegCreateKeyTransactedA(HKEY hKey, const char* lpSubKey, DWORD /*Reserved*/, const char* /*lpClass*/,
                             DWORD /*dwOptions*/, DWORD samDesired, void* /*lpSecurityAttributes*/, HKEY* phkResult,
                             DWORD* lpdwDisposition, HANDLE hTransaction, void* /*pExtendedParameter*/)
{
    return Guarded(ERROR_WRITE_FAULT, [&] {
        if (!hTransaction) {
            if (phkResult)
                *phkResult = 0;
            return ERROR_TRANSACTION_NOT_ACTIVE;
        }
        return CreateOrOpenKey(hKey, lpSubKey, samDesired, phkResult, lpdwDisposition, TRUE, hTransaction);
    });
}

LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD /*ulOptions*/, DWORD samDesired, HKEY* phkResult)
{
    return Guarded(ERROR_READ_FAULT, [&] {
        return CreateOrOpenKey(hKey, lpSubKey, samDesired, phkResult, nullptr, FALSE, 0);
    });
}

LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* /*lpReserved*/, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData)
{
    return Guarded(ERROR_READ_FAULT, [&] {
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

        const CString* pText = nullptr;
        if (pTrans) {
            const auto it = pTrans->values.find(ValueSlot(key.strPath, strName));
            if (it != pTrans->values.end())
                pText = &it->second;
        }
        if (!pText) {
            const CHiveFile* pHive = HiveCurrent(pTrans ? pTrans->strHive : RegGetHivePath(), lResult);
            if (!pHive)
                return lResult;
            const CHiveFile::VALUE* pValue = pHive->FindValue(key.strPath, strName);
            if (!pValue || !pValue->bText)
                return ERROR_FILE_NOT_FOUND;
            pText = &pValue->strData;
        }

        if (lpType)
            *lpType = REG_SZ;
        const DWORD cbNeeded = static_cast<DWORD>(pText->size() + 1);
        if (!lpcbData)
            return ERROR_SUCCESS;
        if (lpData && *lpcbData < cbNeeded) {
            *lpcbData = cbNeeded;
            return ERROR_MORE_DATA;
        }
        if (lpData)
            std::memcpy(lpData, pText->c_str(), cbNeeded);
        *lpcbData = cbNeeded;
        return ERROR_SUCCESS;
    });
}

LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD /*Reserved*/, DWORD dwType, const BYTE* lpData,
                    DWORD cbData)
{
    return Guarded(ERROR_WRITE_FAULT, [&] {
        OPEN_KEY key;
        if (!LookUpKey(hKey, key))
            return ERROR_INVALID_HANDLE;
        if (!(key.dwAccess & KEY_SET_VALUE))
            return ERROR_ACCESS_DENIED;
        if (dwType != REG_SZ || (!lpData && cbData))
            return ERROR_INVALID_PARAMETER;
        LONG lResult = ERROR_SUCCESS;
        TRANSACTION* pTrans = KeyTransaction(key.hTransaction, lResult);
        if (lResult != ERROR_SUCCESS)
            return lResult;
        const char* pszData = reinterpret_cast<const char*>(lpData);
        const void* pNul = cbData ? std::memchr(pszData, '\0', cbData) : nullptr;
        const CString strText = cbData ? CString(pszData, pNul ? static_cast<const char*>(pNul) - pszData : cbData)
                                       : CString();
        const CString strName = lpValueName ? lpValueName : "";

        if (pTrans) {
            pTrans->ops.push_back(TRANSACTION_OP{key.strPath, TRUE, strName, strText});
            pTrans->values[ValueSlot(key.strPath, strName)] = strText;
            return ERROR_SUCCESS;
        }
        const CString strHive = RegGetHivePath();
        const CHiveFile* pHive = HiveCurrent(strHive, lResult);
        if (!pHive)
            return lResult;
        if (pHive->HasTextValue(key.strPath, strName, strText))
            return ERROR_SUCCESS;  // already so: the file stays as it is
        return HiveModify(strHive, [&](CHiveFile& hive) { return hive.SetTextValue(key.strPath, strName, strText); });
    });
}

LONG RegCloseKey(HKEY hKey)
{
    if (hKey == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    std::lock_guard<std::mutex> lock(s_mutex);
    return s_openKeys.erase(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

HANDLE CreateTransaction()
{
    const CString strHive = RegGetHivePath();
    std::lock_guard<std::mutex> lock(s_mutex);
    const HANDLE hTransaction = s_hNextTransaction++;
    s_transactions[hTransaction].strHive = strHive;
    return hTransaction;
}

BOOL CommitTransaction(HANDLE hTransaction)
{
    return Guarded(ERROR_WRITE_FAULT, [&]() -> LONG {
        LONG lResult = ERROR_SUCCESS;
        TRANSACTION* pTrans = KeyTransaction(hTransaction, lResult);
        if (!pTrans)
            return ERROR_TRANSACTION_NOT_ACTIVE;
        pTrans->bActive = FALSE;
        const CHiveFile* pHive = HiveCurrent(pTrans->strHive, lResult);
        if (!pHive)
            return lResult;
        // Only the end state counts: changes that the file already holds need no write.
        BOOL bChanges = FALSE;
        for (const CString& strKey : pTrans->keys)
            bChanges = bChanges || !pHive->KeyExists(strKey);
        for (const auto& [strSlot, strText] : pTrans->values) {
            if (bChanges)
                break;
            const size_t nBreak = strSlot.find('\n');
            bChanges = !pHive->HasTextValue(strSlot.substr(0, nBreak), strSlot.substr(nBreak + 1), strText);
        }
        if (!bChanges)
            return ERROR_SUCCESS;
        return HiveModify(pTrans->strHive, [&](CHiveFile& hive) {
            BOOL bChanged = FALSE;
            for (const TRANSACTION_OP& op : pTrans->ops)
                bChanged |= op.bValue ? hive.SetTextValue(op.strPath, op.strName, op.strText)
                                      : hive.CreateKey(op.strPath);
            return bChanged;
        });
    }) == ERROR_SUCCESS;
}

BOOL CloseHandle(HANDLE hObject)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return s_transactions.erase(hObject) ? TRUE : FALSE;
}

UINT GetWindowsDirectoryA(char* lpBuffer, UINT uSize)
{
    const char* psz = std::getenv("PRODLET_WINDIR");
    const CString strDir = psz && *psz ? psz : "/etc";
    if (!lpBuffer || uSize <= strDir.size())
        return static_cast<UINT>(strDir.size() + 1);
    std::memcpy(lpBuffer, strDir.c_str(), strDir.size() + 1);
    return static_cast<UINT>(strDir.size());
}
