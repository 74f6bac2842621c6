// prodletd's application: the program's own application object, started as
// if someone had pressed Start at once, and ended with a status a service
// manager understands: 1 when the engine stops after a failure, 0 on SIGTERM
// or SIGINT. With --once it ends after the first probe: 0 if it was
// answered, 1 if not.
#pragma once

#include "app/ProdletApp.h"
#include "programs/DaemonLog.h"

#include <functional>

class CProdletView;

// A hidden window whose one timer calls back once.
class CDeadlineWnd : public CFrameWnd {
public:
    BOOL Start(UINT nMilliseconds, std::function<void()> fn);
    void OnTimer(UINT nIDEvent);

private:
    std::function<void()> m_fn;
    DECLARE_MESSAGE_MAP()
};

class CDaemonApp : public CProdletApp {
public:
    CDaemonApp(CDaemonLog& log, BOOL bOnce) : m_log(log), m_bOnce(bOnce) {}

    BOOL InitInstance() override;
    int ExitInstance() override;

    // How long --once waits for the probe's answer: the engine itself waits
    // for ever, for a look-up as for a reply.
    static constexpr UINT kOnceDeadlineMs = 60000;

private:
    CProdletView* View() const;
    // Ends the program in order with nStatus, once the handler that asked
    // for it (and the box it may still show) has returned; strWhy goes to
    // the log, and to standard error for a failure that showed no box.
    void End(int nStatus, const CString& strWhy);

    CDaemonLog& m_log;
    BOOL m_bOnce;
    BOOL m_bEnding = FALSE;
    int m_nStatus = 0;
    CDeadlineWnd m_deadline;
};
