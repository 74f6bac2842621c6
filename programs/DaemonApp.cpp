#include "programs/DaemonApp.h"

#include "engine/ProdletView.h"

#include <cstdio>

BEGIN_MESSAGE_MAP(CDeadlineWnd, CFrameWnd)
    ON_WM_TIMER(&CDeadlineWnd::OnTimer)
END_MESSAGE_MAP()

BOOL CDeadlineWnd::Start(UINT nMilliseconds, std::function<void()> fn)
{
    m_fn = std::move(fn);
    if (!IsWindow() && !CreateBare("deadline", CRect{0, 0, 1, 1}))
        return FALSE;
    return SetTimer(1, nMilliseconds) != 0;
}

void CDeadlineWnd::OnTimer(UINT nIDEvent)
{
    KillTimer(nIDEvent);
    if (m_fn)
        m_fn();
}

CProdletView* CDaemonApp::View() const
{
    auto* pFrame = dynamic_cast<CFrameWnd*>(m_pMainWnd);
    return pFrame ? dynamic_cast<CProdletView*>(pFrame->GetActiveView()) : nullptr;
}

BOOL CDaemonApp::InitInstance()
{
    if (!CProdletApp::InitInstance())
        return FALSE;
    CProdletView* pView = View();
    if (pView == nullptr)
        return FALSE;

    m_log.m_fnStopped = [this] { End(1, m_bOnce ? "the probe failed" : "the engine stopped after a failure"); };
    m_log.m_fnProbeEnded = [this] {
        if (!m_bOnce)
            return;
        // A failure of the probe brings the idle icon back too (and the stop
        // follows, Ignore being off for --once); the reply counts itself
        // only after the icon has changed, so the count is read once the
        // handler has returned.
        AfxRunOnUiThread([this] {
            const CProdletView* pEngine = View();
            if (pEngine != nullptr && pEngine->GetCounts().nSuccesses > 0)
                End(0, "the probe was answered");
        });
    };
    m_log.Arm();
    if (m_bOnce &&
        !m_deadline.Start(kOnceDeadlineMs, [this] { End(1, AfxFormat("no answer within %u seconds", kOnceDeadlineMs / 1000)); }))
        return FALSE;

    // No one is there to press Start: the auto-start comes now, and with it
    // goes the timer that would start the cycle a second time a second later.
    pView->SendMessage(WM_TIMER, IDT_AUTOSTART, 0);
    return TRUE;
}

void CDaemonApp::End(int nStatus, const CString& strWhy)
{
    if (m_bEnding)
        return;
    m_bEnding = TRUE;
    m_nStatus = nStatus;
    AfxRunOnUiThread([this, strWhy] {
        m_log.Line(AfxFormat("exit: %d, ", m_nStatus) + strWhy);
        // A failure without a box of its own (an empty host name, no answer)
        // still says why where the boxes go.
        if (m_nStatus != 0 && !m_log.BoxShown())
            std::fprintf(stderr, "prodletd: %s\n", strWhy.c_str());
        if (CWnd* pMainWnd = AfxGetMainWnd())
            pMainWnd->SendMessage(WM_CLOSE);
        else
            AfxPostQuit(m_nStatus);
    });
}

int CDaemonApp::ExitInstance()
{
    const int nResult = CProdletApp::ExitInstance();
    if (m_bOnce && !m_bEnding) {
        // Ended from outside (a signal) before the probe had its answer.
        std::fputs("prodletd: ended before the probe was answered\n", stderr);
        return 1;
    }
    return m_bEnding ? m_nStatus : nResult;
}
