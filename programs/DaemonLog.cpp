#include "programs/DaemonLog.h"

#include "framework/Resources.h"
#include "platform/Clock.h"
#include "res/resource.h"

namespace {

CString IconName(UINT nId)
{
    switch (nId) {
    case IDI_IDLE:
        return "idle";
    case IDI_STOPPED:
        return "stopped";
    case IDI_PROBING:
        return "probing";
    case 0:
        return "none";
    default:
        return AfxFormat("%u", nId);
    }
}

// What stays of a tooltip when its numbers and their padding go: the same
// shape means the countdown merely went on.
CString Shape(const CString& strTip)
{
    CString strShape;
    for (char ch : strTip) {
        if ((ch < '0' || ch > '9') && ch != ' ')
            strShape += ch;
    }
    return strShape;
}

}  // namespace

void CDaemonLog::Line(const CString& strText)
{
    const CString strLine = FormatLocalTime("%Y-%m-%d %H:%M:%S") + " " + strText + "\n";
    std::fwrite(strLine.data(), 1, strLine.size(), m_pOut);
    std::fflush(m_pOut);
}

void CDaemonLog::OnControlText(UINT nTemplateId, int nCtrlId, const CString& strText)
{
    // The status line of the form; the countdown goes by the tooltip.
    if (nTemplateId == IDD_PRODLET_FORM && nCtrlId == IDC_STATUS)
        Line("status: " + strText);
}

void CDaemonLog::OnTrayIcon(HICON hIcon)
{
    const UINT nOld = m_nIcon;
    m_nIcon = hIcon ? hIcon->id : 0;
    if (m_nIcon == nOld)
        return;
    Line("icon: " + IconName(m_nIcon));
    if (!m_bArmed)
        return;
    if (m_nIcon == IDI_STOPPED && m_fnStopped)
        m_fnStopped();
    else if (nOld == IDI_PROBING && m_nIcon == IDI_IDLE && m_fnProbeEnded)
        m_fnProbeEnded();
}

void CDaemonLog::OnTrayTip(const CString& strTip)
{
    const CString strShape = Shape(strTip);
    const DWORD dwNow = GetTickCount();
    if (strShape == m_strTipShape && m_dwTipTick != 0 && dwNow - m_dwTipTick < kTipIntervalMs)
        return;
    m_strTipShape = strShape;
    // 0 means "never written": a clock that reads 0 counts as a moment later.
    m_dwTipTick = dwNow != 0 ? dwNow : 1;
    Line("tip: " + strTip);
}

void CDaemonLog::OnMessageBox(const CString& /*strText*/) { m_bBoxShown = TRUE; }
