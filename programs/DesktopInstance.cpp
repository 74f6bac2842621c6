#include "programs/DesktopInstance.h"

CDesktopInstance::Outcome CDesktopInstance::Claim(const CString& strRuntimeDir, const CString& strDisplay,
                                                  const CString& strRequest, int nAskTimeoutMs,
                                                  CString& strAnswer, CString& strWarning)
{
    if (strDisplay.empty() || strRuntimeDir.empty())
        return Outcome::First;
    const CString strBase = strRuntimeDir + "/" + InstanceFileName(strDisplay);
    // Twice: a copy that was ending as we asked has let go of the lock by now.
    for (int nTry = 0; nTry < 2; ++nTry) {
        CString strError;
        switch (m_lock.Acquire(strBase + ".lock", strError)) {
        case CInstanceLock::Result::Failed:
            strWarning = "cannot check for a running copy: " + strError;
            return Outcome::First;
        case CInstanceLock::Result::Acquired:
            if (!m_server.Listen(strBase + ".socket", strError))
                strWarning = "later starts cannot reach this copy: " + strError;
            return Outcome::First;
        case CInstanceLock::Result::Held:
            strAnswer = AskRunningInstance(strBase + ".socket", strRequest, nAskTimeoutMs);
            if (!strAnswer.empty())
                return Outcome::Forwarded;
            break;
        }
    }
    return Outcome::NoAnswer;
}

void CDesktopInstance::Serve(CInstanceServer::Handler fnHandler) { m_server.Serve(std::move(fnHandler)); }
