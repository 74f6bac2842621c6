// One running copy per user session on Windows: a named mutex of the session
// ("Local\..."), held for as long as the object lives. The system lets go
// of it when the process ends in any way, so a copy that was killed never
// stands in the way of the next start.
#pragma once

#include "framework/AfxTypes.h"

#include <cstdint>

class CSessionLock {
public:
    CSessionLock() = default;
    ~CSessionLock();
    CSessionLock(const CSessionLock&) = delete;
    CSessionLock& operator=(const CSessionLock&) = delete;

    // TRUE if this process is the one now; FALSE if another holds strName.
    BOOL Claim(const CString& strName);
    BOOL IsHeld() const { return m_hMutex != 0; }

private:
    std::uintptr_t m_hMutex = 0;
};

// Asks the running copy, found by its frame's window class, to show its
// window; TRUE once it did. It may still be starting: asks again until
// nTimeoutMs have passed.
BOOL AskRunningCopyToRestore(const CString& strFrameClass, int nTimeoutMs);
