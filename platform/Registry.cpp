#include "platform/Registry.h"

#include "platform/HiveFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <mutex>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct OPEN_KEY {
    CString strPath;
    DWORD dwAccess;
};

std::mutex s_mutex;
std::map<HKEY, OPEN_KEY> s_openKeys;
HKEY s_hNextKey = 0x1000;  // never reused, so a closed handle stays invalid

BOOL LookUpKey(HKEY hKey, OPEN_KEY& key)
{
    if (hKey == HKEY_LOCAL_MACHINE) {
        key = OPEN_KEY{CString(), KEY_READ | KEY_WRITE};
        return TRUE;
    }
    std::lock_guard<std::mutex> lock(s_mutex);
    const auto it = s_openKeys.find(hKey);
    if (it == s_openKeys.end())
        return FALSE;
    key = it->second;
    return TRUE;
}

HKEY AddOpenKey(const CString& strPath, DWORD dwAccess)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    const HKEY hKey = s_hNextKey++;
    s_openKeys[hKey] = OPEN_KEY{strPath, dwAccess};
    return hKey;
}

// A key name must fit on its key line.
BOOL HasControlChar(const CString& str)
{
    for (char ch : str)
        if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t')
            return TRUE;
    return FALSE;
}

LONG ErrorFromErrno(int nErrno)
{
    return (nErrno == EACCES || nErrno == EPERM || nErrno == EROFS) ? ERROR_ACCESS_DENIED : ERROR_WRITE_FAULT;
}

// Missing, unreadable or not a file: an empty hive.
void LoadHive(const CString& strHive, CHiveFile& hive)
{
    CString strText;
    const int fd = open(strHive.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        char buf[8192];
        for (;;) {
            const ssize_t n = read(fd, buf, sizeof(buf));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            strText.append(buf, static_cast<size_t>(n));
        }
        close(fd);
    }
    hive.Parse(strText);
}

BOOL LoadHiveSafely(CHiveFile& hive)
{
    try {
        LoadHive(RegGetHivePath(), hive);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
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
        if (n <= 0)
            return FALSE;
        nDone += static_cast<size_t>(n);
    }
    return TRUE;
}

// Replaces the hive by strText: a temporary file in the same directory,
// flushed, then renamed over the old one, so no reader sees half a file.
LONG ReplaceHive(const CString& strHive, const CString& strDir, const CString& strText)
{
    CString strTemp = strHive + ".XXXXXX";
    const int fd = mkostemp(strTemp.data(), O_CLOEXEC);
    if (fd < 0)
        return ErrorFromErrno(errno);
    struct stat st;
    if (stat(strHive.c_str(), &st) == 0)
        fchmod(fd, st.st_mode & 07777);
    BOOL bOk = WriteAll(fd, strText) && fsync(fd) == 0;
    int nErrno = errno;
    if (close(fd) != 0 && bOk) {
        bOk = FALSE;
        nErrno = errno;
    }
    if (bOk && rename(strTemp.c_str(), strHive.c_str()) != 0) {
        bOk = FALSE;
        nErrno = errno;
    }
    if (!bOk) {
        unlink(strTemp.c_str());
        return ErrorFromErrno(nErrno);
    }
    const int fdDir = open(strDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdDir >= 0) {
        fsync(fdDir);
        close(fdDir);
    }
    return ERROR_SUCCESS;
}

// Read-modify-write of the hive under an exclusive lock. The lock is on a
// file of its own, because the rename gives the hive a new inode and a lock
// on the old one would no longer exclude anybody. fnChange returns TRUE when
// it changed the hive.
LONG ModifyHive(const std::function<BOOL(CHiveFile&)>& fnChange)
{
    try {
        const CString strHive = RegGetHivePath();
        const size_t nSlash = strHive.rfind('/');
        const CString strDir = nSlash == CString::npos ? CString(".") : strHive.substr(0, nSlash ? nSlash : 1);
        if (const int nErrno = MakeDirectories(strDir))
            return ErrorFromErrno(nErrno);

        const int fdLock = open((strHive + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fdLock < 0)
            return ErrorFromErrno(errno);
        while (flock(fdLock, LOCK_EX) != 0) {
            if (errno != EINTR) {
                const int nErrno = errno;
                close(fdLock);
                return ErrorFromErrno(nErrno);
            }
        }
        CHiveFile hive;
        LoadHive(strHive, hive);
        LONG lResult = ERROR_SUCCESS;
        if (fnChange(hive))
            lResult = ReplaceHive(strHive, strDir, hive.Format());
        close(fdLock);
        return lResult;
    } catch (...) {
        return ERROR_WRITE_FAULT;
    }
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

// The common start of creating and opening a key: the result handle cleared,
// the parent looked up, and the full path of parent\subkey.
static LONG ResolveSubKey(HKEY hKey, const char* lpSubKey, HKEY* phkResult, OPEN_KEY& parent, CString& strSubKey,
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

LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD /*Reserved*/, const char* /*lpClass*/,
                     DWORD /*dwOptions*/, DWORD samDesired, void* /*lpSecurityAttributes*/, HKEY* phkResult,
                     DWORD* lpdwDisposition)
{
    OPEN_KEY parent;
    CString strSubKey, strPath;
    if (LONG lResult = ResolveSubKey(hKey, lpSubKey, phkResult, parent, strSubKey, strPath); lResult != ERROR_SUCCESS)
        return lResult;
    if (HasControlChar(strSubKey))
        return ERROR_INVALID_PARAMETER;

    CHiveFile hive;
    BOOL bCreated = FALSE;
    if (!LoadHiveSafely(hive) || !hive.KeyExists(strPath)) {
        if (!(parent.dwAccess & KEY_CREATE_SUB_KEY))
            return ERROR_ACCESS_DENIED;
        // Another instance may have made the key meanwhile: decide under the lock.
        const LONG lResult = ModifyHive([&](CHiveFile& locked) { return bCreated = locked.CreateKey(strPath); });
        if (lResult != ERROR_SUCCESS)
            return lResult;
    }
    *phkResult = AddOpenKey(strPath, samDesired);
    if (lpdwDisposition)
        *lpdwDisposition = bCreated ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD /*ulOptions*/, DWORD samDesired, HKEY* phkResult)
{
    OPEN_KEY parent;
    CString strSubKey, strPath;
    if (LONG lResult = ResolveSubKey(hKey, lpSubKey, phkResult, parent, strSubKey, strPath); lResult != ERROR_SUCCESS)
        return lResult;
    CHiveFile hive;
    if (HasControlChar(strSubKey) || !LoadHiveSafely(hive) || !hive.KeyExists(strPath))
        return ERROR_FILE_NOT_FOUND;
    *phkResult = AddOpenKey(strPath, samDesired);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* /*lpReserved*/, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData)
{
    OPEN_KEY key;
    if (!LookUpKey(hKey, key))
        return ERROR_INVALID_HANDLE;
    if (!(key.dwAccess & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    if (lpData && !lpcbData)
        return ERROR_INVALID_PARAMETER;
    CHiveFile hive;
    if (!LoadHiveSafely(hive))
        return ERROR_FILE_NOT_FOUND;
    const CHiveFile::VALUE* pValue = hive.FindValue(key.strPath, lpValueName ? lpValueName : "");
    if (!pValue || !pValue->bText)
        return ERROR_FILE_NOT_FOUND;

    if (lpType)
        *lpType = REG_SZ;
    const DWORD cbNeeded = static_cast<DWORD>(pValue->strData.size() + 1);
    if (!lpcbData)
        return ERROR_SUCCESS;
    if (lpData && *lpcbData < cbNeeded) {
        *lpcbData = cbNeeded;
        return ERROR_MORE_DATA;
    }
    if (lpData)
        std::memcpy(lpData, pValue->strData.c_str(), cbNeeded);
    *lpcbData = cbNeeded;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD /*Reserved*/, DWORD dwType, const BYTE* lpData,
                    DWORD cbData)
{
    OPEN_KEY key;
    if (!LookUpKey(hKey, key))
        return ERROR_INVALID_HANDLE;
    if (!(key.dwAccess & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    if (dwType != REG_SZ || (!lpData && cbData))
        return ERROR_INVALID_PARAMETER;
    const char* pszData = reinterpret_cast<const char*>(lpData);
    const void* pNul = cbData ? std::memchr(pszData, '\0', cbData) : nullptr;
    const CString strText = cbData ? CString(pszData, pNul ? static_cast<const char*>(pNul) - pszData : cbData)
                                   : CString();
    const CString strName = lpValueName ? lpValueName : "";
    return ModifyHive([&](CHiveFile& hive) { return hive.SetTextValue(key.strPath, strName, strText); });
}

LONG RegCloseKey(HKEY hKey)
{
    if (hKey == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    std::lock_guard<std::mutex> lock(s_mutex);
    return s_openKeys.erase(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
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
