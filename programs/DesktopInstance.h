// One prodlet per user and display. The first copy holds a lock named after
// the display in the user's runtime folder and listens on a socket beside
// it; a later start finds the lock taken, asks the running copy over the
// socket to bring its window forward, and ends. All of it happens before
// the settings file is touched, so the later start never writes it.
#pragma once

#include "framework/AfxTypes.h"
#include "platform/InstanceChannel.h"
#include "platform/InstanceLock.h"

class CDesktopInstance {
public:
    enum class Outcome {
        First,      // this is the running copy now (or the rule could not be kept: see strWarning)
        Forwarded,  // a running copy took the request and answered
        NoAnswer,   // a running copy holds the display but did not answer
    };

    // strDisplay as DesktopDisplayName gives it; empty leaves the rule out.
    // The lock and socket live in strRuntimeDir (InstanceRuntimeDir).
    // strWarning is set when the rule cannot be kept (no private folder, a
    // socket that cannot be bound): the program then runs all the same, as
    // it did before there was a rule, rather than not at all.
    Outcome Claim(const CString& strRuntimeDir, const CString& strDisplay, const CString& strRequest,
                  int nAskTimeoutMs, CString& strAnswer, CString& strWarning);
    // The running copy: answers later starts from now on. Needs the backend.
    void Serve(CInstanceServer::Handler fnHandler);
    BOOL IsServing() const { return m_server.IsListening(); }

private:
    CInstanceLock m_lock;
    CInstanceServer m_server;  // after the lock: it goes first
};
