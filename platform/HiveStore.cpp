// The hive file's input and output on POSIX: its cache in memory, its lock,
// the atomic replace and the removal of killed writers' leftovers (see
// HiveStore.h). Nothing here knows keys, handles or transactions.
#include "platform/HiveStore.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// Guarded by the registry's mutex (the file error is each thread's own).
// Made once and never destroyed, like every global of the platform.
HIVE_CACHE& s_cache = *new HIVE_CACHE;
std::set<CString>& s_cleanedHives = *new std::set<CString>;  // hives whose leftovers this process has removed
pid_t s_cleanedPid = 0;
thread_local FILE_ERROR t_lastFileError;

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

}  // namespace

CHiveFile* HiveCurrent(const CString& strHive, LONG& lResult)
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

namespace {

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

}  // namespace

// Read-modify-write of the hive under an exclusive lock. The lock is on a
// file of its own, because the rename gives the hive a new inode and a lock
// on the old one would no longer exclude anybody. fnChange changes the hive
// in memory and returns TRUE when it changed anything.
LONG HiveModify(const CString& strHive, const std::function<BOOL(CHiveFile&)>& fnChange)
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
    CHiveFile* pHive = HiveCurrent(strHive, lResult);
    if (pHive && fnChange(*pHive)) {
        lResult = ReplaceHive(strHive, strDir, pHive->Format());
        if (lResult != ERROR_SUCCESS)
            InvalidateCache();  // memory now differs from the file
    }
    close(fdLock);
    return lResult;
}

void HiveRemoveLeftovers(const CString& strHive) { RemoveLeftovers(strHive, HiveDirectory(strHive), FALSE); }

LONG HiveMakeFolder(const CString& strHive)
{
    const int nErrno = MakeDirectories(HiveDirectory(strHive));
    return nErrno ? FileError(strHive, nErrno, TRUE) : ERROR_SUCCESS;
}

void HiveForget() { InvalidateCache(); }

void HiveClearFileError() { t_lastFileError = FILE_ERROR{}; }

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

BOOL RegGetLastFileError(CString& strFile, CString& strReason)
{
    if (!t_lastFileError.bSet)
        return FALSE;
    strFile = t_lastFileError.strFile;
    strReason = std::strerror(t_lastFileError.nErrno);
    return TRUE;
}
