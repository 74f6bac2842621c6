#include "platform/Registry.h"

#include "platform/HiveFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <map>
#include <mutex>
#include <pwd.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
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

// The parsed hive of the file last read or written, and what that file was.
struct HIVE_CACHE {
    CString strHive;
    BOOL bValid = FALSE;
    BOOL bMissing = FALSE;  // there was no file: an empty hive
    int fd = -1;            // the file read, held open so that its inode is not reused
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    struct timespec mtim = {};
    CHiveFile hive;
};

struct FILE_ERROR {
    BOOL bSet = FALSE;
    CString strFile;
    int nErrno = 0;
};

// Everything below is guarded by s_mutex; the public calls take it once.
// Made once and never destroyed, like every global of the platform.
std::mutex& s_mutex = *new std::mutex;
std::map<HKEY, OPEN_KEY>& s_openKeys = *new std::map<HKEY, OPEN_KEY>;
HKEY s_hNextKey = 0x1000;  // never reused, so a closed handle stays invalid
std::map<HANDLE, TRANSACTION>& s_transactions = *new std::map<HANDLE, TRANSACTION>;
HANDLE s_hNextTransaction = 0x7000;
HIVE_CACHE& s_cache = *new HIVE_CACHE;
std::set<CString> s_cleanedHives;  // hives whose leftovers this process has removed
pid_t s_cleanedPid = 0;
thread_local FILE_ERROR t_lastFileError;

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

LONG FileError(const CString& strFile, int nErrno, BOOL bWriting)
{
    t_lastFileError = FILE_ERROR{TRUE, strFile, nErrno};
    if (nErrno == EACCES || nErrno == EPERM || (bWriting && nErrno == EROFS))
        return ERROR_ACCESS_DENIED;
    return bWriting ? ERROR_WRITE_FAULT : ERROR_READ_FAULT;
}

void CloseCachedFile()
{
    if (s_cache.fd >= 0)
        close(s_cache.fd);
    s_cache.fd = -1;
}

void InvalidateCache()
{
    CloseCachedFile();
    s_cache.bValid = FALSE;
}

void RememberFile(const CString& strHive, int fd, const struct stat& st)
{
    CloseCachedFile();
    s_cache.strHive = strHive;
    s_cache.bValid = TRUE;
    s_cache.bMissing = FALSE;
    s_cache.fd = fd;
    s_cache.dev = st.st_dev;
    s_cache.ino = st.st_ino;
    s_cache.size = st.st_size;
    s_cache.mtim = st.st_mtim;
}

BOOL IsCachedFile(const CString& strHive, const struct stat& st)
{
    return s_cache.bValid && !s_cache.bMissing && s_cache.strHive == strHive && s_cache.dev == st.st_dev &&
           s_cache.ino == st.st_ino && s_cache.size == st.st_size && s_cache.mtim.tv_sec == st.st_mtim.tv_sec &&
           s_cache.mtim.tv_nsec == st.st_mtim.tv_nsec;
}

// The hive as the file holds it now, parsed again only if the file changed.
// Null if the file exists but cannot be read (lResult says why).
CHiveFile* CurrentHive(const CString& strHive, LONG& lResult)
{
    lResult = ERROR_SUCCESS;
    struct stat st;
    if (stat(strHive.c_str(), &st) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            lResult = FileError(strHive, errno, FALSE);
            return nullptr;
        }
        if (!(s_cache.bValid && s_cache.bMissing && s_cache.strHive == strHive)) {
            CloseCachedFile();
            s_cache.strHive = strHive;
            s_cache.bValid = TRUE;
            s_cache.bMissing = TRUE;
            s_cache.hive.Parse("");
        }
        return &s_cache.hive;
    }
    if (IsCachedFile(strHive, st))
        return &s_cache.hive;

    InvalidateCache();
    // Non-blocking, so that a FIFO in the hive's place cannot hang the program.
    const int fd = open(strHive.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        lResult = FileError(strHive, errno, FALSE);
        return nullptr;
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int nErrno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        close(fd);
        lResult = FileError(strHive, nErrno, FALSE);
        return nullptr;
    }
    CString strText;
    strText.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof(buf));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int nErrno = errno;
            close(fd);
            lResult = FileError(strHive, nErrno, FALSE);
            return nullptr;
        }
        if (n == 0)
            break;
        strText.append(buf, static_cast<size_t>(n));
    }
    s_cache.hive.Parse(strText);
    RememberFile(strHive, fd, st);
    return &s_cache.hive;
}

CString HiveDirectory(const CString& strHive)
{
    const size_t nSlash = strHive.rfind('/');
    return nSlash == CString::npos ? CString(".") : strHive.substr(0, nSlash ? nSlash : 1);
}

int MakeDirectories(const CString& strDir)
{
    for (size_t nPos = 1; nPos <= strDir.size(); ++nPos) {
        if (nPos < strDir.size() && strDir[nPos] != '/')
            continue;
        const CString strPart = strDir.substr(0, nPos);
        if (mkdir(strPart.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    struct stat st;
    if (stat(strDir.c_str(), &st) != 0)
        return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

BOOL WriteAll(int fd, const CString& strText)
{
    size_t nDone = 0;
    while (nDone < strText.size()) {
        const ssize_t n = write(fd, strText.data() + nDone, strText.size() - nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return FALSE;
        }
        nDone += static_cast<size_t>(n);
    }
    return TRUE;
}

BOOL IsTemporaryName(const char* pszName, const CString& strBase)
{
    if (std::strncmp(pszName, strBase.c_str(), strBase.size()) != 0 || pszName[strBase.size()] != '.')
        return FALSE;
    const char* pszTail = pszName + strBase.size() + 1;
    if (std::strlen(pszTail) != 6)
        return FALSE;
    for (const char* p = pszTail; *p; ++p)
        if (!((*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z')))
            return FALSE;
    return TRUE;
}

// Removes the temporary files that killed writers left beside the hive.
// Writers make such files only while they hold the lock, so under the lock
// every one of them is a leftover.
void UnlinkTemporaryFiles(const CString& strHive, const CString& strDir, BOOL bUnlink, BOOL& bFound)
{
    bFound = FALSE;
    const CString strBase = strHive.substr(strHive.rfind('/') + 1);
    DIR* pDir = opendir(strDir.c_str());
    if (!pDir)
        return;
    while (const dirent* pEntry = readdir(pDir)) {
        if (!IsTemporaryName(pEntry->d_name, strBase))
            continue;
        struct stat st;
        if (fstatat(dirfd(pDir), pEntry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        bFound = TRUE;
        if (bUnlink)
            unlinkat(dirfd(pDir), pEntry->d_name, 0);
    }
    closedir(pDir);
}

// Once per process (a child of fork() is a run of its own) and hive, at its
// first write or key creation: the folder is looked at, and only if it holds
// leftovers is the lock taken (unless held already) to remove them.
void RemoveLeftovers(const CString& strHive, const CString& strDir, BOOL bLocked)
{
    if (s_cleanedPid != getpid()) {
        s_cleanedHives.clear();
        s_cleanedPid = getpid();
    }
    if (!s_cleanedHives.insert(strHive).second)
        return;
    BOOL bFound = FALSE;
    if (!bLocked) {
        UnlinkTemporaryFiles(strHive, strDir, FALSE, bFound);
        if (!bFound)
            return;
        const int fdLock = open((strHive + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fdLock < 0)
            return;
        int nResult;
        while ((nResult = flock(fdLock, LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (nResult == 0)
            UnlinkTemporaryFiles(strHive, strDir, TRUE, bFound);
        close(fdLock);
        return;
    }
    UnlinkTemporaryFiles(strHive, strDir, TRUE, bFound);
}

// Replaces the hive by strText: a temporary file in the same directory,
// flushed, then renamed over the old one, so no reader sees half a file. The
// new file is remembered, still open, as the hive in memory.
LONG ReplaceHive(const CString& strHive, const CString& strDir, const CString& strText)
{
    CString strTemp = strHive + ".XXXXXX";
    const int fd = mkostemp(strTemp.data(), O_CLOEXEC);
    if (fd < 0)
        return FileError(strHive, errno, TRUE);
    struct stat st;
    if (stat(strHive.c_str(), &st) == 0)
        fchmod(fd, st.st_mode & 07777);
    BOOL bOk = WriteAll(fd, strText) && fsync(fd) == 0;
    int nErrno = errno;
    const int fdRead = bOk ? open(strTemp.c_str(), O_RDONLY | O_CLOEXEC) : -1;
    if (bOk && fdRead < 0) {
        bOk = FALSE;
        nErrno = errno;
    }
    if (close(fd) != 0 && bOk) {
        bOk = FALSE;
        nErrno = errno;
    }
    if (bOk && rename(strTemp.c_str(), strHive.c_str()) != 0) {
        bOk = FALSE;
        nErrno = errno;
    }
    if (!bOk) {
        if (fdRead >= 0)
            close(fdRead);
        unlink(strTemp.c_str());
        return FileError(strHive, nErrno, TRUE);
    }
    const int fdDir = open(strDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdDir >= 0) {
        fsync(fdDir);
        close(fdDir);
    }
    if (fstat(fdRead, &st) == 0)
        RememberFile(strHive, fdRead, st);
    else
        close(fdRead);
    return ERROR_SUCCESS;
}

// Read-modify-write of the hive under an exclusive lock. The lock is on a
// file of its own, because the rename gives the hive a new inode and a lock
// on the old one would no longer exclude anybody. fnChange changes the hive
// in memory and returns TRUE when it changed anything.
LONG ModifyHive(const CString& strHive, const std::function<BOOL(CHiveFile&)>& fnChange)
{
    const CString strDir = HiveDirectory(strHive);
    if (const int nErrno = MakeDirectories(strDir))
        return FileError(strHive, nErrno, TRUE);

    const int fdLock = open((strHive + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fdLock < 0)
        return FileError(strHive, errno, TRUE);
    while (flock(fdLock, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const int nErrno = errno;
            close(fdLock);
            return FileError(strHive, nErrno, TRUE);
        }
    }
    RemoveLeftovers(strHive, strDir, TRUE);
    LONG lResult = ERROR_SUCCESS;
    CHiveFile* pHive = CurrentHive(strHive, lResult);
    if (pHive && fnChange(*pHive)) {
        lResult = ReplaceHive(strHive, strDir, pHive->Format());
        if (lResult != ERROR_SUCCESS)
            InvalidateCache();  // memory now differs from the file
    }
    close(fdLock);
    return lResult;
}

// Runs a public call under the mutex; an exception (out of memory) fails the
// call and drops the hive in memory, which may be half changed.
LONG Guarded(LONG lFailure, const std::function<LONG()>& fn)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    t_lastFileError = FILE_ERROR{};
    try {
        return fn();
    } catch (...) {
        InvalidateCache();
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
    const CHiveFile* pHive = CurrentHive(strHive, lResult);
    if (!pHive)
        return lResult;
    if (bCreate)
        RemoveLeftovers(strHive, HiveDirectory(strHive), FALSE);
    const BOOL bExists = pHive->KeyExists(strPath) || (pTrans && pTrans->keys.count(CHiveFile::Fold(strPath)));
    BOOL bCreated = FALSE;
    if (!bExists) {
        if (!bCreate)
            return ERROR_FILE_NOT_FOUND;
        if (!(parent.dwAccess & KEY_CREATE_SUB_KEY))
            return ERROR_ACCESS_DENIED;
        if (pTrans) {
            // Refused now if the file could never be written: no folder for it.
            if (const int nErrno = MakeDirectories(HiveDirectory(strHive)))
                return FileError(strHive, nErrno, TRUE);
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
            lResult = ModifyHive(strHive, [&](CHiveFile& locked) { return bCreated = locked.CreateKey(strPath); });
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

CString RegGetHivePath()
{
    const char* psz = std::getenv("PRODLET_HIVE");
    if (psz && *psz)
        return psz;
    psz = std::getenv("XDG_CONFIG_HOME");
    if (psz && *psz == '/')
        return CString(psz) + "/prodlet/registry.reg";
    psz = std::getenv("HOME");
    if (!psz || !*psz) {
        const passwd* pw = getpwuid(getuid());
        psz = pw ? pw->pw_dir : nullptr;
    }
    return CString(psz ? psz : ".") + "/.config/prodlet/registry.reg";
}

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
            const CHiveFile* pHive = CurrentHive(pTrans ? pTrans->strHive : RegGetHivePath(), lResult);
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
        const CHiveFile* pHive = CurrentHive(strHive, lResult);
        if (!pHive)
            return lResult;
        if (pHive->HasTextValue(key.strPath, strName, strText))
            return ERROR_SUCCESS;  // already so: the file stays as it is
        return ModifyHive(strHive, [&](CHiveFile& hive) { return hive.SetTextValue(key.strPath, strName, strText); });
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
        const CHiveFile* pHive = CurrentHive(pTrans->strHive, lResult);
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
        return ModifyHive(pTrans->strHive, [&](CHiveFile& hive) {
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

BOOL RegGetLastFileError(CString& strFile, CString& strReason)
{
    if (!t_lastFileError.bSet)
        return FALSE;
    strFile = t_lastFileError.strFile;
    strReason = std::strerror(t_lastFileError.nErrno);
    return TRUE;
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
