// One running copy per key (a user's display, a settings file): an
// exclusive flock() on a lock file, held for as long as the object lives.
// The kernel lets go of the lock when the process ends in any way, so a copy
// that was killed never stands in the way of the next start; the file itself
// may stay, and means nothing without its lock.
#pragma once

#include "framework/AfxTypes.h"

class CInstanceLock {
public:
    enum class Result {
        Acquired,  // this process is the one
        Held,      // another process holds the lock
        Failed,    // the lock file could not be opened or locked (strError says why)
    };

    CInstanceLock() = default;
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // Creates strPath (mode 0600) when missing and takes the lock without
    // waiting. A second call while held releases the first lock.
    Result Acquire(const CString& strPath, CString& strError);
    void Release();
    BOOL IsHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// The folder for this user's instance files: $XDG_RUNTIME_DIR/prodlet when
// XDG_RUNTIME_DIR is an absolute path, else /tmp/prodlet-<uid>. Created with
// mode 0700 when missing; refused unless it is a real folder (no link) of
// this user that no one else may write to, since a socket in it is trusted.
// Empty, with the reason, when no such folder can be had.
CString InstanceRuntimeDir(CString& strError);

// A name for use in a file name: letters, digits, '.', '-' and '_' kept,
// ':' and '/' turned into '-' and '_', anything else into '_'. Long names
// keep their start and end a hash of the whole, so that the path stays
// short enough for a socket address.
CString InstanceFileName(const CString& strName);

// The lock file that guards one settings file against a second service on
// it: "<file>.prodletd.lock" beside the file, with the folder's path
// resolved (links, "..") so that two spellings of one file share a lock.
// Creates the folder (as a write of the settings would) when missing.
// Empty, with the reason, when the folder cannot be had.
CString SettingsLockPath(const CString& strSettings, CString& strError);
