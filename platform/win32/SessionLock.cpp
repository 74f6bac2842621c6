#include "platform/win32/SessionLock.h"
#include "platform/win32/shim/Win32System.h"

CSessionLock::~CSessionLock() { w32sys::ReleaseSession(m_hMutex); }

BOOL CSessionLock::Claim(const CString& strName)
{
    w32sys::ReleaseSession(m_hMutex);
    m_hMutex = 0;
    return w32sys::ClaimSession("Local\\" + strName, m_hMutex) ? TRUE : FALSE;
}

BOOL AskRunningCopyToRestore(const CString& strFrameClass, int nTimeoutMs)
{
    return w32sys::AskRunningCopy(strFrameClass, nTimeoutMs) == 1 ? TRUE : FALSE;
}
