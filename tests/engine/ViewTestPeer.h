// The tests' one way into the view's private state, for what no input of the
// program reaches: the exact interval, target and elapsed seconds (the
// countdown text shows them only rounded, a tick later), the random draws
// repeated thousands of times, counters of a size no scripted run reaches,
// and a probe started at once instead of after a minute's countdown.
#pragma once

#include "engine/ProdletView.h"

class CProdletViewTestPeer {
public:
    // ---- the countdown's state
    static int IntervalSecs(const CProdletView& v) { return v.m_nIntervalSecs; }
    static int TargetSecs(const CProdletView& v) { return v.m_nTargetSecs; }
    static int Elapsed(const CProdletView& v) { return v.m_nElapsed; }
    // The interval text last accepted, what a rejected one is replaced by.
    static const CString& AcceptedOften(const CProdletView& v) { return v.m_strOften; }
    // What the next probe goes to, and whether it goes there.
    static const CString& NewHost(const CProdletView& v) { return v.m_strNewHost; }
    static BOOL UsesNewHost(const CProdletView& v) { return v.m_bUseNewHost; }
    static BOOL FreshStart(const CProdletView& v) { return v.m_bFreshStart; }

    // ---- what the Statistics dialog would show, without opening it
    static const CString& LastProblemHost(const CProdletView& v) { return v.m_strLastProblemHost; }
    static BOOL NewProblem(const CProdletView& v) { return v.m_bNewProblem; }

    // ---- the random draws, one at a time
    static void SetIntervalSecs(CProdletView& v, int nSecs) { v.m_nIntervalSecs = nSecs; }
    static void PickRandomTarget(CProdletView& v) { v.PickRandomTarget(); }
    static void PickRandomHost(CProdletView& v) { v.PickRandomHost(); }

    // ---- the counters and the tooltip hint's conditions
    static void SetCounts(CProdletView& v, const PROBE_COUNTS& counts, const CString& strLastProblemHost)
    {
        v.m_nSuccesses = counts.nSuccesses;
        v.m_nDnsFailures = counts.nDnsFailures;
        v.m_nHttpFailures = counts.nHttpFailures;
        v.m_nSocketFailures = counts.nSocketFailures;
        v.m_strLastProblemHost = strLastProblemHost;
        v.m_bNewProblem = TRUE;
    }
    static void SetHintConditions(CProdletView& v, BOOL bIgnore, const PROBE_COUNTS& counts, BOOL bNewProblem)
    {
        v.m_bIgnore = bIgnore;
        v.m_nSuccesses = counts.nSuccesses;
        v.m_nDnsFailures = counts.nDnsFailures;
        v.m_nHttpFailures = counts.nHttpFailures;
        v.m_nSocketFailures = counts.nSocketFailures;
        v.m_bNewProblem = bNewProblem;
    }

    // ---- a regular probe to the current host, now
    static void ProbeNow(CProdletView& v) { v.RunTheJob(FALSE); }
    // Whether the last probe's socket is still open (its server has not closed it).
    static bool HasProbeSocket(const CProdletView& v) { return v.m_socket != INVALID_SOCKET; }
};
