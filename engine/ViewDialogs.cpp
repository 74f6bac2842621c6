// The dialogs of the Prodlet menu: Options, Statistics and Edit Names. Each
// command copies the view's values into its dialog, runs it modally and
// takes the values back only on OK. The engine goes on meanwhile: the modal
// loop still delivers the view's timer, socket and look-up messages.
#include "engine/ProdletView.h"

#include "engine/ViewSettings.h"
#include "ui/EditNamesDlg.h"
#include "ui/OptionsDlg.h"
#include "ui/StatisticsDlg.h"

void CProdletView::OnOptions()
{
    COptionsDlg dlg;
    RunOptionsDlg(dlg);
}

void CProdletView::RunOptionsDlg(COptionsDlg& dlg)
{
    dlg.m_bIgnore = m_bIgnore;
    dlg.m_bRandomName = m_bRandomName;
    dlg.m_bRandomTime = m_bRandomTime;
    dlg.m_bAutoStart = m_bAutoStart;
    // Cancel, Esc, the close box and a dialog that could not be made all
    // leave the flags and the store alone.
    if (dlg.DoModal() != IDOK)
        return;

    m_bIgnore = dlg.m_bIgnore;
    m_bRandomName = dlg.m_bRandomName;
    m_bRandomTime = dlg.m_bRandomTime;
    m_bAutoStart = dlg.m_bAutoStart;
    // Nothing is restarted: each flag counts from its next use. A failed
    // write leaves the new value in force until the program ends.
    WriteSettingInt("Ignore", m_bIgnore);
    WriteSettingInt("AutoStart", m_bAutoStart);
    WriteSettingInt("RandomName", m_bRandomName);
    WriteSettingInt("RandomTime", m_bRandomTime);
}

void CProdletView::OnStatistics()
{
    CStatisticsDlg dlg;
    RunStatisticsDlg(dlg);
}

void CProdletView::RunStatisticsDlg(CStatisticsDlg& dlg)
{
    dlg.m_strDnsFailures = AfxFormat("%d", m_nDnsFailures);
    dlg.m_strHttpFailures = AfxFormat("%d", m_nHttpFailures);
    dlg.m_strSocketFailures = AfxFormat("%d", m_nSocketFailures);
    dlg.m_strSuccesses = AfxFormat("%d", m_nSuccesses);
    dlg.m_strLastProblemHost = m_strLastProblemHost;
    // Opening the dialog acknowledges the problems so far: the tooltip drops
    // its hint from the next tick on, however the dialog is closed.
    m_bNewProblem = FALSE;
    dlg.DoModal();
}

void CProdletView::OnEditNames()
{
    CEditNamesDlg dlg;
    RunEditNamesDlg(dlg);
}

void CProdletView::RunEditNamesDlg(CEditNamesDlg& dlg)
{
    dlg.m_strName = m_strCurrentHost;
    // On OK the dialog has written the list and its selection to the store.
    if (dlg.DoModal() == IDOK)
        LoadHostNames();
}
