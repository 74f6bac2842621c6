#include "platform/InstanceLock.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

CString ErrnoText(int nErrno) { return std::strerror(nErrno); }

// The folder exists as a real folder of ours, closed to others.
BOOL IsPrivateDir(const CString& strDir, CString& strError)
{
    struct stat st {};
    if (lstat(strDir.c_str(), &st) != 0) {
        strError = strDir + ": " + ErrnoText(errno);
        return FALSE;
    }
    if (!S_ISDIR(st.st_mode)) {
        strError = strDir + ": not a folder";
        return FALSE;
    }
    if (st.st_uid != geteuid()) {
        strError = strDir + ": belongs to another user";
        return FALSE;
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        strError = strDir + ": others may write to it";
        return FALSE;
    }
    return TRUE;
}

// mkdir -p, each new folder with nMode.
BOOL MakeDirs(const CString& strDir, mode_t nMode)
{
    if (strDir.empty())
        return TRUE;
    struct stat st {};
    if (stat(strDir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const auto nSlash = strDir.find_last_of('/');
    if (nSlash != CString::npos && nSlash != 0 && !MakeDirs(strDir.substr(0, nSlash), 0700))
        return FALSE;
    return mkdir(strDir.c_str(), nMode) == 0 || errno == EEXIST;
}

}  // namespace

CInstanceLock::~CInstanceLock() { Release(); }

void CInstanceLock::Release()
{
    if (m_fd >= 0) {
        close(m_fd);  // the lock goes with the descriptor
        m_fd = -1;
    }
}

CInstanceLock::Result CInstanceLock::Acquire(const CString& strPath, CString& strError)
{
    Release();
    // O_NOFOLLOW: a link planted in the lock's place would make us create or
    // truncate someone else's file.
    const int fd = open(strPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        strError = strPath + ": " + ErrnoText(errno);
        return Result::Failed;
    }
    int nResult;
    while ((nResult = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (nResult != 0) {
        const int nErrno = errno;
        close(fd);
        if (nErrno == EWOULDBLOCK)
            return Result::Held;
        strError = strPath + ": " + ErrnoText(nErrno);
        return Result::Failed;
    }
    m_fd = fd;
    return Result::Acquired;
}

CString InstanceRuntimeDir(CString& strError)
{
    CString strDir;
    const char* pszRuntime = std::getenv("XDG_RUNTIME_DIR");
    if (pszRuntime != nullptr && pszRuntime[0] == '/')
        strDir = CString(pszRuntime) + "/prodlet";
    else
        strDir = "/tmp/prodlet-" + std::to_string(geteuid());
    if (mkdir(strDir.c_str(), 0700) != 0 && errno != EEXIST) {
        strError = strDir + ": " + ErrnoText(errno);
        return CString();
    }
    if (!IsPrivateDir(strDir, strError))
        return CString();
    return strDir;
}

CString InstanceFileName(const CString& strName)
{
    constexpr std::size_t kMaxLength = 48;
    CString strResult;
    for (char ch : strName) {
        const bool bKept = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
                           ch == '.' || ch == '-' || ch == '_';
        strResult += bKept ? ch : ch == ':' ? '-' : '_';
    }
    // "." and ".." are folders, not names.
    if (strResult.find_first_not_of('.') == CString::npos)
        strResult.insert(0, "_");
    if (strResult.size() <= kMaxLength)
        return strResult;
    std::uint64_t nHash = 14695981039346656037ull;  // FNV-1a: the same in every build
    for (unsigned char ch : strName) {
        nHash ^= ch;
        nHash *= 1099511628211ull;
    }
    char szHash[17];
    std::snprintf(szHash, sizeof(szHash), "%016llx", static_cast<unsigned long long>(nHash));
    return strResult.substr(0, 16) + "-" + szHash + "-" + strResult.substr(strResult.size() - 12);
}

CString SettingsLockPath(const CString& strSettings, CString& strError)
{
    CString strFile = strSettings;
    // A link to the settings file is the file it points to.
    char szResolved[PATH_MAX];
    if (realpath(strFile.c_str(), szResolved) != nullptr)
        strFile = szResolved;
    const auto nSlash = strFile.find_last_of('/');
    CString strDir = nSlash == CString::npos ? CString(".") : nSlash == 0 ? CString("/") : strFile.substr(0, nSlash);
    const CString strName = nSlash == CString::npos ? strFile : strFile.substr(nSlash + 1);
    if (!MakeDirs(strDir, 0700)) {
        strError = strDir + ": " + ErrnoText(errno);
        return CString();
    }
    if (realpath(strDir.c_str(), szResolved) == nullptr) {
        strError = strDir + ": " + ErrnoText(errno);
        return CString();
    }
    strDir = szResolved;
    return (strDir == "/" ? CString() : strDir) + "/" + strName + ".prodletd.lock";
}
